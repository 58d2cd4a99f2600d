# The product: 32-bit Windows, posix-threads runtime (std::mutex and
# std::thread need it), linked statically.
set(TAVO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
