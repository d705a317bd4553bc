# Run by CPack on its staging folder before the package is made: strips the programs as Debian's own
# tools do, also dropping the comment and note sections that plain stripping keeps.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_TARROWIND_STRIP} --strip-unneeded --remove-section=.comment
    --remove-section=.note ${program} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot strip ${program}")
  endif()
endforeach()
