set(CMAKE_C_COMPILER ${LW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LW_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${LW_MINGW_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${LW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine; scripts/wine-run picks the prefix from the
# environment that scripts/test sets up.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
