# The device list and the toolbar imagery, with their artwork: SVG sources in
# resources/artwork, rendered to PNG in the build tree by rsvg-convert and embedded as Qt resources.
list(APPEND TARROWIND_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/certificate_trust.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controller_list_commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/colour_contrast.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controller_list_ctrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controller_list_delegate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controller_list_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/row_reason.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_image_set.cpp
)

find_program(TARROWIND_RSVG_CONVERT rsvg-convert REQUIRED)
set(TARROWIND_ARTWORK_SOURCE ${PROJECT_SOURCE_DIR}/resources/artwork)
set(TARROWIND_ARTWORK_OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/artwork)
file(MAKE_DIRECTORY ${TARROWIND_ARTWORK_OUTPUT})

# tarrowind_render_artwork(<svg name> <png name> <size> <qrc alias> <qrc entries variable>): one PNG of
# size × size pixels from one SVG, and its line in a resource file.
function(tarrowind_render_artwork svg png size alias entries)
  set(input ${TARROWIND_ARTWORK_SOURCE}/${svg}.svg)
  set(output ${TARROWIND_ARTWORK_OUTPUT}/${png}.png)
  add_custom_command(OUTPUT ${output}
    COMMAND ${TARROWIND_RSVG_CONVERT} --width=${size} --height=${size} --format=png
      --output=${output} ${input}
    DEPENDS ${input}
    COMMENT "Rendering ${png}.png from ${svg}.svg"
    VERBATIM)
  set(${entries} "${${entries}}    <file alias=\"${alias}\">${output}</file>\n" PARENT_SCOPE)
endfunction()

# Row icons of the list: 16 pixels, and 32 for screens of twice the density.
set(TARROWIND_CONTROLLER_LIST_QRC_ENTRIES "")
foreach(name module_box reader desk_device)
  foreach(size 16 32)
    tarrowind_render_artwork(${name} list_${name}_${size} ${size} list/${name}-${size}.png
      TARROWIND_CONTROLLER_LIST_QRC_ENTRIES)
  endforeach()
endforeach()

# Toolbar pictures, 32 × 32 with alpha, under the numbers of their bitmap resources, and 64 × 64 for
# screens of twice the density.
set(TARROWIND_TOOLBAR_QRC_ENTRIES "")
foreach(picture
    132:toolbar_search 133:toolbar_stop 134:toolbar_setting 135:toolbar_reboot 136:toolbar_default
    137:toolbar_firmware_update 139:toolbar_firmware_update_to_latest 140:toolbar_set_login
    143:toolbar_cancel_queue_items 144:toolbar_advanced_setting)
  string(REPLACE ":" ";" parts ${picture})
  list(GET parts 0 id)
  list(GET parts 1 name)
  tarrowind_render_artwork(${name} ${name} 32 bitmap/${id}.png TARROWIND_TOOLBAR_QRC_ENTRIES)
  tarrowind_render_artwork(${name} ${name}_64 64 bitmap/${id}@2x.png TARROWIND_TOOLBAR_QRC_ENTRIES)
endforeach()
# The application icon, resource 128.
foreach(size 16 24 32 48 64 128 256)
  tarrowind_render_artwork(application application_${size} ${size} icon/128-${size}.png
    TARROWIND_TOOLBAR_QRC_ENTRIES)
endforeach()
string(APPEND TARROWIND_TOOLBAR_QRC_ENTRIES
  "    <file alias=\"icon/128.png\">${TARROWIND_ARTWORK_OUTPUT}/application_256.png</file>\n")

# The resource files name the PNGs by their absolute paths in the build tree; qt6_add_resources makes
# the rcc step depend on each of them, so they are rendered first.
foreach(qrc controller_list toolbar)
  string(TOUPPER ${qrc} upper)
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${qrc}.qrc
    CONTENT "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/tarrowind\">\n${TARROWIND_${upper}_QRC_ENTRIES}  </qresource>\n</RCC>\n"
    @ONLY)
  qt6_add_resources(TARROWIND_ARTWORK_RESOURCES ${CMAKE_CURRENT_BINARY_DIR}/${qrc}.qrc)
endforeach()
list(APPEND TARROWIND_UI_SOURCES ${TARROWIND_ARTWORK_RESOURCES})
