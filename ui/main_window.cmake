list(APPEND TARROWIND_UI_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/about_box.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/apply_plan_flow.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/assign_addresses_flow.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialog_prompts.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/list_filter_row.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/main_dialog.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/module_wait_dlg.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/message_box.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/my_rebar.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/plan_rows.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/range_search_flow.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/session_end.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui_call_gate.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/window_actions.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/window_state.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/window_status_bar.cpp
)
