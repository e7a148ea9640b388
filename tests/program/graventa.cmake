# Graventa.exe end to end: the tests copy the built program into a scratch
# install folder and drive it as other processes do. They share the product
# keys, the one window titled "Graventa", the user's tray pipe and the bleach
# service's control pipe.
add_executable(graventa_cleanup_stub graventa_cleanup_stub.cpp)

# The test build of Graventa.exe: the shipped program with the rig's seams.
add_executable(Graventa_test WIN32 graventa_test_main.cpp)
target_compile_definitions(Graventa_test PRIVATE SCORAVEL_TEST_BUILD)
target_link_libraries(Graventa_test PRIVATE scoravel_program graventa_resources)

scoravel_test(graventa_tests
    SOURCES graventa_window_test.cpp graventa_verbs_test.cpp graventa_traces_test.cpp
            graventa_exclude_test.cpp graventa_test_support.cpp
    LIBS scoravel_program scoravel_ipc graventa_resources
    LOCKS product_registry)
add_dependencies(graventa_tests Graventa_test graventa_cleanup_stub)
target_compile_definitions(graventa_tests PRIVATE
    SCORAVEL_GRAVENTA_EXE="$<TARGET_FILE:Graventa_test>"
    SCORAVEL_CLEANUP_STUB_EXE="$<TARGET_FILE:graventa_cleanup_stub>")
