# The window's dialogs: the settings sheet and its pages, the reader settings, login and firmware file,
# the address and plan dialogs, the message box, the busy wait, and the prompts that raise them.
list(APPEND TARROWIND_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/about_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/apply_plan_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/assign_addresses_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/change_login_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controller_property_sheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dactyl_setting_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_prompts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/firmware_update_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ip_address_edit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/login_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module_wait_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/network_config_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/other_config_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/restore_settings_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/search_addresses_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/latest_update_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/update_waves_choice.cpp
)
