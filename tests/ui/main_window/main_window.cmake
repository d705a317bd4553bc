tarrowind_ui_test(main_dialog_tests ${CMAKE_CURRENT_LIST_DIR}/main_dialog_test.cpp)
target_link_libraries(main_dialog_tests PRIVATE tarrowind_test_fakes)
tarrowind_ui_test(my_rebar_tests ${CMAKE_CURRENT_LIST_DIR}/my_rebar_test.cpp)
tarrowind_ui_test(settings_file_flow_tests ${CMAKE_CURRENT_LIST_DIR}/settings_file_flow_test.cpp)
target_link_libraries(settings_file_flow_tests PRIVATE tarrowind_test_fakes)
# Under ThreadSanitizer the file dialogs' own threads need the Qt suppressions.
set_tests_properties(settings_file_flow_tests PROPERTIES
  ENVIRONMENT_MODIFICATION "TSAN_OPTIONS=string_append: suppressions=${PROJECT_SOURCE_DIR}/tests/ui/tsan.supp")
