# Shared part of the MinGW-w64 cross toolchains; RB_TRIPLE is set by the includer.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model gives std::mutex and std::thread (GoogleTest needs them);
# winpthreads is linked statically, so it adds no DLL to the import table.
set(CMAKE_C_COMPILER ${RB_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RB_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RB_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${RB_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
