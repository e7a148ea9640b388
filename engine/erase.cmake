target_sources(scoravel_engine PRIVATE
    asset.cpp
    eraser.cpp
    erase_methods.cpp
    overwrite_writer.cpp
    registry_writer.cpp
    shred_log.cpp
    free_space_wipe.cpp)
