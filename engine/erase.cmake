target_sources(scoravel_engine PRIVATE
    asset.cpp
    eraser.cpp
    overwrite_writer.cpp
    shred_log.cpp
    free_space_wipe.cpp)

# The erase methods and what they do to the assets of a run: the walk, the
# Recycle Bin delete, the registry and URL-cache deletes. Only the shredding
# program's runs erase assets; the bleach service wipes free space with the
# engine alone and links none of this.
add_library(scoravel_erase_methods STATIC
    asset_shred.cpp
    erase_methods.cpp
    registry_writer.cpp)
target_include_directories(scoravel_erase_methods PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(scoravel_erase_methods PUBLIC scoravel_engine scoravel_settings scoravel_win32
                      shell32 shlwapi wininet)
