target_sources(scoravel_engine PRIVATE placeholder.cpp)
