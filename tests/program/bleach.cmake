# The bleach client against a stand-in service on pipes of its own. The
# cases share the user's tray pipe and the machine-wide bleach mutex with
# the Graventa tests, hence the same lock.
scoravel_test(bleach_client_tests
    SOURCES bleach_client_test.cpp bleach_fake_service.cpp
    LIBS scoravel_program scoravel_service scoravel_ipc graventa_resources comctl32
    LOCKS product_registry)

# The same through the resident Graventa.exe and its window commands.
scoravel_test(bleach_graventa_tests
    SOURCES bleach_graventa_test.cpp bleach_fake_service.cpp graventa_test_support.cpp
    LIBS scoravel_program scoravel_service scoravel_ipc graventa_resources
    LOCKS product_registry)
add_dependencies(bleach_graventa_tests Graventa_test)
target_compile_definitions(bleach_graventa_tests PRIVATE
    SCORAVEL_GRAVENTA_EXE="$<TARGET_FILE:Graventa_test>")
