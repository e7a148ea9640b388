scoravel_test(tray_tests
    SOURCES tray_test.cpp
    LIBS scoravel_tray
    LOCKS product_registry)
