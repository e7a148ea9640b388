# The erase engine: asset model, overwrite writer, erase methods, links.
scoravel_test(engine_erase_tests
    SOURCES erase_test_support.cpp asset_test.cpp overwrite_writer_test.cpp
            erase_methods_test.cpp link_test.cpp
    LIBS scoravel_engine scoravel_shred engine_resources)

# The shred log and registry deletes read and set the machine's
# "EnableSuccessLogging".
scoravel_test(engine_log_tests
    SOURCES erase_test_support.cpp shred_log_test.cpp registry_erase_test.cpp
    LIBS scoravel_engine scoravel_shred scoravel_traces engine_resources wininet
    LOCKS product_registry)
