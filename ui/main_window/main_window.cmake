# The main window: its dialog, actions, toolbar band, filter row and status bar, the flows behind its
# plan, address and range commands, its remembered state, and the gate that brings the core's events in.
list(APPEND TARROWIND_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/apply_plan_flow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/assign_addresses_flow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/list_filter_row.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/my_rebar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plan_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/range_search_flow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session_end.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_file_flow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_call_gate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_actions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_status_bar.cpp
)
