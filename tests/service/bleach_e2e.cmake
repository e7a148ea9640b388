# The whole bleach end to end: the real Wardelle service and Graventa.exe in
# a prefix of its own whose C: is a small tmpfs (scripts/bleach-e2e.sh makes
# it, refuses any C: with 1 GiB or more free, and takes it all down again).
# Not a discovered test program: only the script runs it, in that prefix.
add_executable(bleach_e2e_tests bleach_e2e_test.cpp ../program/graventa_test_support.cpp)
target_link_libraries(bleach_e2e_tests PRIVATE scoravel_test_main
    scoravel_program scoravel_service scoravel_ipc graventa_resources wardelle_resources)
add_dependencies(bleach_e2e_tests Graventa Wardelle)
target_compile_definitions(bleach_e2e_tests PRIVATE
    SCORAVEL_GRAVENTA_EXE="$<TARGET_FILE:Graventa>"
    SCORAVEL_WARDELLE_EXE="$<TARGET_FILE:Wardelle>")

# Skipped (77) when not root. The lock keeps it apart from the other users of
# the product's keys, as every run that sets the install folder is.
add_test(NAME bleach_end_to_end
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/bleach-e2e.sh ${CMAKE_BINARY_DIR}
                 $<TARGET_FILE:bleach_e2e_tests>)
set_tests_properties(bleach_end_to_end PROPERTIES
    RESOURCE_LOCK product_registry SKIP_RETURN_CODE 77 TIMEOUT 300)
