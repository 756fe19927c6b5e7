# 32-bit Windows with Debian's mingw-w64 (posix threads): the shipped
# Quiventa.vdf. cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QV_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Doubles in SSE2 registers, as on x86-64: the x87 unit's 80-bit
# intermediates would change log digits and fixed-point coefficients.
# Windows guarantees callers only 4-byte stack alignment (the host's
# callbacks, thread entry), so functions realign before SSE spills.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
