# GoogleTest for the Windows build: built from the sources of the googletest package (cmake/WindowsBuild.cmake).
if(TARGET GTest::gtest_main)
  set(GTest_FOUND TRUE)
endif()
