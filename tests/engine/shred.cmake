# The shred manager: lists, runs, dialogs and balloons over the real registry.
scoravel_test(shred_manager_tests
    SOURCES erase_test_support.cpp protected_storage_test.cpp shred_manager_test.cpp
    LIBS scoravel_shred engine_resources
    LOCKS product_registry)
