tarrowind_ui_test(controller_list_ctrl_tests ${CMAKE_CURRENT_LIST_DIR}/controller_list_ctrl_test.cpp)
tarrowind_ui_test(controller_list_cells_tests ${CMAKE_CURRENT_LIST_DIR}/controller_list_cells_test.cpp)
# The list's failure colour is checked against what the command line counts as failed.
target_link_libraries(controller_list_cells_tests PRIVATE tarrowind_cli_core)
# Workers writing records and reporting while the list paints and sorts: run by the ThreadSanitizer
# step (label "threads" alone), and as a plain test elsewhere.
add_executable(list_report_race_tests ${CMAKE_CURRENT_LIST_DIR}/list_report_race_test.cpp)
target_link_libraries(list_report_race_tests PRIVATE tarrowind_ui Qt6::Test tarrowind_warnings)
if(WIN32)
  add_test(NAME list_report_race_tests COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-qtest $<TARGET_FILE:list_report_race_tests>)
else()
  add_test(NAME list_report_race_tests COMMAND list_report_race_tests)
endif()
set_tests_properties(list_report_race_tests PROPERTIES LABELS "threads"
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C"
  ENVIRONMENT_MODIFICATION "TSAN_OPTIONS=string_append: suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tsan.supp")
if(WIN32)
  tarrowind_deploy_qt_runtime(list_report_race_tests TEST)
endif()
tarrowind_ui_test(toolbar_image_set_tests ${CMAKE_CURRENT_LIST_DIR}/toolbar_image_set_test.cpp)
