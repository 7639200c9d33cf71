# 64-bit Windows programs built on Debian with mingw-w64 (packages g++-mingw-w64-x86-64-posix
# and wine for the tests): the POSIX thread model, for std::thread. Used by the windows-cross
# preset of CMakePresets.json.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The compiler's own libraries are linked in, so that a program runs without DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# CTest runs the tests under Wine when it is installed.
find_program(QUILLMERE_WINE NAMES wine wine64)
if(QUILLMERE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLMERE_WINE})
endif()
