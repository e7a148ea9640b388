# Helpers shared by the project's CMake files.

# Every test program runs under Wine in the build tree's host-safe prefix.
set(SCORAVEL_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR})

# scoravel_test(<name> SOURCES ... LIBS ... [LOCKS ...] [SERIAL]
#               [FIXTURE <fixture>] [TIMEOUT <seconds>] [ENVIRONMENT <VAR=value>...])
# A GoogleTest program run under Wine; each test case becomes a ctest test.
# LOCKS names the one shared resource the cases touch (such as the product's registry
# keys) so that ctest -j never runs two users of it at once. SERIAL runs each case alone.
# FIXTURE replaces the wine fixture (it must itself require wine: a property
# value cannot be a list here); TIMEOUT is per case, 120 s unless given.
function(scoravel_test name)
    cmake_parse_arguments(T "SERIAL" "FIXTURE;TIMEOUT" "SOURCES;LIBS;LOCKS;ENVIRONMENT" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE scoravel_test_main ${T_LIBS})
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${SCORAVEL_WINE_RUN}")
    if(NOT T_FIXTURE)
        set(T_FIXTURE wine)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set(props FIXTURES_REQUIRED ${T_FIXTURE} TIMEOUT ${T_TIMEOUT})
    if(T_LOCKS)
        # gtest_discover_tests flattens a list value: one lock per program.
        list(LENGTH T_LOCKS lockCount)
        if(lockCount GREATER 1)
            message(FATAL_ERROR "${name}: one lock per test program, not ${T_LOCKS}")
        endif()
        list(APPEND props RESOURCE_LOCK "${T_LOCKS}")
    endif()
    if(T_SERIAL)
        # For cases that use up what the whole prefix shares (its wineserver's
        # USER handle table): nothing else may run meanwhile.
        list(APPEND props RUN_SERIAL TRUE)
    endif()
    if(T_ENVIRONMENT)
        list(APPEND props ENVIRONMENT "${T_ENVIRONMENT}")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES ${props})
endfunction()

# scoravel_ship(<target> <32|64>)
# Installs a deliverable from the tree of its word size, stripped whichever
# way the tree is installed: the debug information of an optimised tree is
# for the tests under Wine, never for the install. An import library stays
# out of the install.
function(scoravel_ship target bits)
    if(NOT (bits EQUAL 32 OR bits EQUAL 64))
        message(FATAL_ERROR "${target}: ship as 32 or 64, not ${bits}")
    endif()
    if(SCORAVEL_64BIT)
        set(treeBits 64)
    else()
        set(treeBits 32)
    endif()
    if(bits EQUAL treeBits)
        install(CODE "set(CMAKE_INSTALL_DO_STRIP TRUE)")
        install(TARGETS ${target}
                RUNTIME DESTINATION .
                ARCHIVE DESTINATION lib COMPONENT Development EXCLUDE_FROM_ALL)
    endif()
endfunction()

# scoravel_beside_tests(<name> <file>...)
# A target <name> that copies each built file ("Fennick.dll" of the target
# Fennick) into this folder of the build tree whenever it is built anew: the
# tests here start their stand-ins, and load their libraries, from beside
# themselves.
function(scoravel_beside_tests name)
    set(copies)
    foreach(file ${ARGN})
        string(REGEX REPLACE "\\..*" "" target ${file})
        add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${file}
            COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${CMAKE_CURRENT_BINARY_DIR}/${file}
            DEPENDS ${target}
            VERBATIM)
        list(APPEND copies ${CMAKE_CURRENT_BINARY_DIR}/${file})
    endforeach()
    add_custom_target(${name} DEPENDS ${copies})
endfunction()
