# Shared part of the MinGW-w64 cross toolchains; RB_TRIPLE is set by the includer.
set(CMAKE_SYSTEM_NAME Windows)
# The win32 thread model: the posix one links winpthreads, whose start-up leaks a TLS
# slot, an event and a thread handle at every load of the DLL.
set(CMAKE_C_COMPILER ${RB_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${RB_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${RB_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${RB_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
