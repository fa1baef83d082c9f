# Cross build of the deliverables and their tests for 32-bit Windows. The posix
# thread model gives GoogleTest the std::mutex it needs; the runtime is linked
# statically either way.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTROVE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTROVE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTROVE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTROVE_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTROVE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
