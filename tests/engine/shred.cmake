# The shred manager: lists, runs, dialogs and balloons over the real registry.
scoravel_test(shred_manager_tests
    SOURCES erase_test_support.cpp shred_manager_test.cpp
    LIBS scoravel_shred graventa_resources
    LOCKS product_registry)

scoravel_test(shred_dialog_tests
    SOURCES shred_dialogs_test.cpp
    LIBS scoravel_progress graventa_resources
    LOCKS product_registry)
