# Fails the build when a DLL does not export each of NAMES under exactly that
# name (a 32-bit stdcall export keeps its "@n" decoration unless a .def file
# names it plainly). With EXACT, it also fails on any other export: the
# install check runs it that way on every shipped file (a program with an
# empty NAMES must export nothing).
#   cmake -DOBJDUMP=<objdump> -DDLL=<file> "-DNAMES=a;b" [-DEXACT=ON] -P check-exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${headers}")
foreach(name IN LISTS NAMES)
    if(NOT table MATCHES "\\] ${name}\n")
        message(FATAL_ERROR "${DLL} does not export ${name} undecorated:\n${table}")
    endif()
endforeach()
if(EXACT)
    # The table's lines are its heading and one row per export (counted by
    # their line ends: a CMake list would not split at the rows' brackets).
    set(exported 0)
    if(table)
        string(REGEX MATCHALL "\n" lineEnds "${table}")
        list(LENGTH lineEnds exported)
        math(EXPR exported "${exported} - 1")
    endif()
    list(LENGTH NAMES expected)
    if(NOT exported EQUAL expected)
        message(FATAL_ERROR "${DLL} exports ${exported} names, not the ${expected} of \"${NAMES}\":\n${table}")
    endif()
endif()
