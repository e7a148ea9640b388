# The shred manager and its list builder: what a request of the shredding
# program (or the service) runs. Above the erase engine and the trace
# catalogue; it asks and announces through the IShredUi its caller passes.
add_library(scoravel_shred STATIC
    disk_bleach.cpp
    protected_storage.cpp
    shred_list.cpp
    shred_manager.cpp
    shred_platform.cpp
    shred_runs.cpp)
target_include_directories(scoravel_shred PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(scoravel_shred PUBLIC scoravel_engine scoravel_traces scoravel_settings
                      scoravel_win32 ole32 shell32 shlwapi wininet uuid)
