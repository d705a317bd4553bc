# CLI11 for the Windows build: the build machine's header-only copy, seen through a folder that holds
# nothing else, so that no other header of the build machine shadows the mingw-w64 ones.
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
tarrowind_host_headers(CLI11::CLI11 CLI)
set(CLI11_FOUND TRUE)
