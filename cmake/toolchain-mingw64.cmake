# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model, so that std::thread and
# std::mutex work). The runtime is linked statically: the programs run from a plain folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARROWIND_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARROWIND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARROWIND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARROWIND_MINGW_PREFIX}-windres)

# Nothing of the build machine is linked; its header-only CLI11 and nlohmann-json are reused.
set(CMAKE_FIND_ROOT_PATH /usr/${TARROWIND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# -O2 as the Linux release build; GCC 12 at -O3 warns falsely about std::string inserts (-Wrestrict).
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows 7 and later: WSAPoll, inet_pton and the IP Helper calls used here.
# The C library's printf family as the standard says (the system's msvcrt differs, e.g. "% u").
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 _WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)

# Header-only libraries and GoogleTest come through small config files of this project (cmake/mingw).
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw CACHE PATH "")
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw CACHE PATH "")
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw CACHE PATH "")

# Test programs run under Wine, in a prefix of their own inside the build tree.
find_program(TARROWIND_WINE wine)
if(TARROWIND_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()

# Qt for Windows (scripts/build-qt-windows): its CMake packages are found beside the mingw sysroot, while
# moc, rcc and uic are the build machine's own Qt tools of the same version.
set(TARROWIND_QT_WINDOWS "$ENV{TARROWIND_QT_WINDOWS}" CACHE PATH "Qt for Windows (scripts/build-qt-windows --prefix)")
if(TARROWIND_QT_WINDOWS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TARROWIND_QT_WINDOWS})
  list(APPEND CMAKE_PREFIX_PATH ${TARROWIND_QT_WINDOWS})
  set(QT_HOST_PATH /usr CACHE PATH "")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
endif()
