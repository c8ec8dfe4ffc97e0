# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads,
# which std::thread and std::mutex need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The header-only libraries and GoogleTest come from the build machine's
# packages through small package files of our own (cmake/windows/), which
# never put the host's /usr/include, with its C library, on the path.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "")
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "")
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "")

# Programs built here that the build itself runs (the sample download files'
# generator) run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
