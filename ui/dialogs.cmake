# The settings sheet and its pages, the reader settings, login and firmware file dialogs.
list(APPEND TARROWIND_UI_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/apply_plan_dlg.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/assign_addresses_dlg.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/controller_property_sheet.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dactyl_setting_dlg.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/firmware_update_dlg.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ip_address_edit.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/login_dlg.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/network_config_page.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/other_config_page.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/search_addresses_dlg.cpp
)
