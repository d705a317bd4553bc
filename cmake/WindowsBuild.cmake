# The Windows build (mingw-w64): the core, the module commands, the command-line companion, the window
# when a Qt for Windows is given (TARROWIND_QT_WINDOWS), their tests and the search bench. The simulator
# and the lab stay on Linux, where the Windows programs meet them through Wine.
add_subdirectory(commands)
add_subdirectory(tools/cli)
if(TARROWIND_QT_WINDOWS)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets Test)
  include(cmake/WindowsQtRuntime.cmake)
  add_subdirectory(ui)
endif()

if(TARROWIND_TESTS)
  enable_testing()
  # GoogleTest from the sources of Debian's googletest package, built with the same compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
  include(GoogleTest)
  # Listing a test program's tests starts Wine, which takes longer than the 5 s CMake allows by default.
  function(gtest_discover_tests target)
    _gtest_discover_tests(${target} ${ARGN} DISCOVERY_TIMEOUT 120)
  endfunction()
  add_subdirectory(tests/unit)
  add_subdirectory(tests/unit/platform/win32)
  if(TARGET tarrowind_ui)
    add_subdirectory(tests/ui)
    add_subdirectory(tests/e2e/windows)
  endif()
  add_subdirectory(bench/windows)
endif()
