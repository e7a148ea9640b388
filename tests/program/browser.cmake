# A stand-in "Tessick.dll" built beside browser_tests.exe: a copy there (on
# the library search path) must never be the one that runs.
add_library(tessick_stub SHARED tessick_stub.cpp)
set_target_properties(tessick_stub PROPERTIES OUTPUT_NAME Tessick PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(tessick_stub PRIVATE advapi32)

scoravel_test(browser_tests
    SOURCES browser_test.cpp
    LIBS scoravel_traces graventa_resources
    LOCKS product_registry)
add_dependencies(browser_tests tessick_stub)
