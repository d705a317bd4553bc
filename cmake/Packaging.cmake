# What an installed Tarrowind needs besides its two programs and the string table: the desktop entry,
# icons, AppStream data, manual pages, bash completion and Debian's copyright and changelog; and the
# CPack setup of the Debian package. The version is PROJECT_VERSION everywhere.

# The freedesktop id: names the desktop entry, the icon and the AppStream component.
set(TARROWIND_APP_ID org.tarrowind.Tarrowind)
set(TARROWIND_HOMEPAGE "https://tarrowind.example/" CACHE STRING "Project home page named by the package")
set(TARROWIND_SCREENSHOT_URL "${TARROWIND_HOMEPAGE}docs/" CACHE STRING
  "Where the pictures of docs/ are published, for the AppStream screenshots")
# The date of PROJECT_VERSION's release, for the AppStream release and the Debian changelog.
set(TARROWIND_RELEASE_DATE 2026-12-08)
set(TARROWIND_MAINTAINER "Tarrowind maintainers <maintainers@tarrowind.example>")

if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(packaging ${PROJECT_SOURCE_DIR}/resources/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)
# Files are readable by all and directories searchable by all, whatever the installing user's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The changelog's date is the release's, not the build's, so that two builds give the same package.
execute_process(COMMAND date -u -R -d "${TARROWIND_RELEASE_DATE}"
  OUTPUT_VARIABLE release_rfc2822 OUTPUT_STRIP_TRAILING_WHITESPACE)

configure_file(${packaging}/tarrowind.metainfo.xml.in ${generated}/${TARROWIND_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/tarrowind.desktop.in ${generated}/${TARROWIND_APP_ID}.desktop @ONLY)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
configure_file(${packaging}/tarrowind.1.in ${generated}/tarrowind.1 @ONLY)
configure_file(${packaging}/tarrowind-cli.1.in ${generated}/tarrowind-cli.1 @ONLY)

# Icons rendered from the program's own artwork, at every size the desktop asks for.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)
set(icon_svg ${PROJECT_SOURCE_DIR}/resources/artwork/application.svg)
set(packaging_outputs)
foreach(size 16 24 32 48 64 128 256)
  set(png ${generated}/icons/${size}x${size}/${TARROWIND_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --format png --output ${png} ${icon_svg}
    DEPENDS ${icon_svg} VERBATIM)
  list(APPEND packaging_outputs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${TARROWIND_APP_ID}.svg)

# Manual pages and the changelog are compressed as Debian wants them, without a time stamp.
foreach(file tarrowind.1 tarrowind-cli.1 changelog)
  add_custom_command(OUTPUT ${generated}/${file}.gz
    COMMAND ${GZIP} -9nf --keep ${generated}/${file}
    DEPENDS ${generated}/${file} VERBATIM)
  list(APPEND packaging_outputs ${generated}/${file}.gz)
endforeach()
add_custom_target(tarrowind_packaging_files ALL DEPENDS ${packaging_outputs})

install(FILES ${generated}/${TARROWIND_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${TARROWIND_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/tarrowind.1.gz ${generated}/tarrowind-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/tarrowind-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME tarrowind-cli)
install(FILES ${packaging}/tarrowind.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME tarrowind)
# Debian's documentation folder is named after the package, not the project.
install(FILES ${packaging}/copyright ${generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarrowind)

# The Debian package: `scripts/package deb`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarrowind)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarrowind")
set(CPACK_PACKAGE_CONTACT "${TARROWIND_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES OFF)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/StripForPackage.cmake)
set(CPACK_TARROWIND_STRIP ${CMAKE_STRIP})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARROWIND_HOMEPAGE}")
# Computed from the programs by dpkg-shlibdeps, never listed by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack indents the lines after the summary and turns the empty one into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "finds and manages access-control network modules
Tarrowind finds the maker's network modules (door controllers, the
data-capture box, fingerprint readers) on every local network of the computer
by UDP broadcast, lists them, and acts on one module or on hundreds at once:
log in, change network settings, reboot, restore factory defaults and update
firmware.

The package holds the window program tarrowind and the command-line companion
tarrowind-cli. Both work as a normal user.")
# cpack does not build every target first (tests, benches): scripts/package builds what the package holds.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
