# The same sources for 64-bit Windows. This is the Windows build whose tests
# run under Wine on machines that cannot execute 32-bit x86 code.
set(TAVO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
