# Cross build for Windows with MinGW-w64 (posix thread model: std::thread and
# GoogleTest need it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SCORAVEL_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER   /usr/bin/${SCORAVEL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${SCORAVEL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/${SCORAVEL_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SCORAVEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
