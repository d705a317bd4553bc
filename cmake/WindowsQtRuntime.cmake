# What a Qt program of the Windows build needs beside it to start from a plain folder, as it will once
# installed: the Qt libraries, the mingw runtime they were built with, and the plugins in the folders
# Qt looks in next to the program (platforms/, styles/).
set(TARROWIND_MINGW_RUNTIME_DLLS)
foreach(dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  # The compiler knows where its own runtime lies; the threads library sits in the sysroot.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    find_file(found_${dll} ${dll} PATHS /usr/${TARROWIND_MINGW_PREFIX}/lib NO_DEFAULT_PATH REQUIRED)
    set(found ${found_${dll}})
  endif()
  list(APPEND TARROWIND_MINGW_RUNTIME_DLLS ${found})
endforeach()

set(TARROWIND_QT_RUNTIME_DLLS
  ${TARROWIND_QT_WINDOWS}/bin/Qt6Core.dll ${TARROWIND_QT_WINDOWS}/bin/Qt6Gui.dll
  ${TARROWIND_QT_WINDOWS}/bin/Qt6Widgets.dll)
set(TARROWIND_QT_PLUGINS
  platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll)

# tarrowind_deploy_qt_runtime(TARGET [TEST]): copies the runtime beside TARGET's program after each link;
# TEST adds the Qt Test library.
function(tarrowind_deploy_qt_runtime target)
  set(dlls ${TARROWIND_QT_RUNTIME_DLLS} ${TARROWIND_MINGW_RUNTIME_DLLS})
  if("TEST" IN_LIST ARGN)
    list(APPEND dlls ${TARROWIND_QT_WINDOWS}/bin/Qt6Test.dll)
  endif()
  set(commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dlls} $<TARGET_FILE_DIR:${target}>)
  foreach(plugin ${TARROWIND_QT_PLUGINS})
    get_filename_component(folder ${plugin} DIRECTORY)
    list(APPEND commands
      COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${folder}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TARROWIND_QT_WINDOWS}/plugins/${plugin}
        $<TARGET_FILE_DIR:${target}>/${folder}/)
  endforeach()
  add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()
