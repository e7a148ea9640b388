# The tray notification client, on its own so that the plug-in can link just
# this piece.
add_library(scoravel_tray STATIC tray_notify_client.cpp)
target_include_directories(scoravel_tray PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(scoravel_tray PUBLIC scoravel_win32 advapi32)
