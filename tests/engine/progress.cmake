scoravel_test(progress_tests
    SOURCES progress_test.cpp display_settings_test.cpp
    LIBS scoravel_progress graventa_resources
    LOCKS product_registry)
