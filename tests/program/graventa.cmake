# Graventa.exe end to end: the tests copy the built program into a scratch
# install folder and drive it as other processes do. They share the product
# keys, the one window titled "Graventa", the user's tray pipe and the bleach
# service's control pipe.
add_executable(graventa_cleanup_stub graventa_cleanup_stub.cpp)

scoravel_test(graventa_tests
    SOURCES graventa_window_test.cpp graventa_verbs_test.cpp graventa_test_support.cpp
    LIBS scoravel_program scoravel_ipc graventa_resources
    LOCKS product_registry)
add_dependencies(graventa_tests Graventa graventa_cleanup_stub)
target_compile_definitions(graventa_tests PRIVATE
    SCORAVEL_GRAVENTA_EXE="$<TARGET_FILE:Graventa>"
    SCORAVEL_CLEANUP_STUB_EXE="$<TARGET_FILE:graventa_cleanup_stub>")
