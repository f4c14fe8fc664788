# Cross build for 32-bit Windows with Debian's MinGW-w64:
#   cmake -S . -B build-win-i686 --toolchain cmake/toolchains/mingw-i686.cmake -DORVELLE_WITH_QT=OFF
# Its test programs would need Wine's i386 part besides wine64; CI only compiles and links them.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVELLE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
