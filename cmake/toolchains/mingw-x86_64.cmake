# Cross build for 64-bit Windows with Debian's MinGW-w64:
#   cmake -S . -B build-win-x86_64 --toolchain cmake/toolchains/mingw-x86_64.cmake -DORVELLE_WITH_QT=OFF
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVELLE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
