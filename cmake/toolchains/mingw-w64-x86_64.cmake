# 64-bit Windows with Debian's mingw-w64 (posix threads): the same sources as
# the shipped 32-bit module, for the checks under Debian's wine64
# (tools/run_wine_checks.sh).
# cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QV_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
