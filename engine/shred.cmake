# The shred manager's own state and the bleach service's run on it: all of
# the manager that Wardelle links.
add_library(scoravel_shred_core STATIC
    disk_bleach.cpp
    shred_manager.cpp)
target_include_directories(scoravel_shred_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(scoravel_shred_core PUBLIC scoravel_engine scoravel_settings scoravel_win32
                      advapi32)

# The shred runs and their list builder: what a request of the shredding
# program runs. Above the erase methods and the trace catalogue; it asks and
# announces through the IShredUi its caller passes.
add_library(scoravel_shred STATIC
    protected_storage.cpp
    shred_list.cpp
    shred_platform.cpp
    shred_runs.cpp)
target_include_directories(scoravel_shred PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(scoravel_shred PUBLIC scoravel_shred_core scoravel_erase_methods
                      scoravel_traces scoravel_engine scoravel_settings scoravel_win32 ole32 shell32
                      shlwapi wininet uuid)
