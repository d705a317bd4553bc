# The simulator's readers of bytes from the network. No libraries to link (only the product's header-only
# helpers), so a build that holds only the core libraries (the fuzz build) can include this file on its own.
if(NOT TARGET tarrowind_sim_parsers)
  add_library(tarrowind_sim_parsers STATIC
    ${CMAKE_CURRENT_LIST_DIR}/form_parser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/multipart_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/firmware_upload.cpp
    ${CMAKE_CURRENT_LIST_DIR}/password_chain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/basic_auth.cpp
  )
  target_include_directories(tarrowind_sim_parsers PUBLIC ${CMAKE_CURRENT_LIST_DIR}
    PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../..)
  target_link_libraries(tarrowind_sim_parsers PRIVATE tarrowind_warnings)
endif()
