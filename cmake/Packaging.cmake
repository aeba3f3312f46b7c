# What a desktop installs beside the programs (manual pages, software-centre
# metadata, the Debian documentation files) and the Debian package itself:
#   cpack -G DEB        (from the build folder)

find_program(GZIP_EXECUTABLE gzip REQUIRED)

set(DIMWELL_SCREENSHOT_URL "https://orvalen.com/dimwell/screenshots" CACHE STRING
    "Where the software-centre screenshots are published")

# Manual pages and the changelog are installed compressed, as Debian policy asks;
# -n keeps the archives byte-identical between builds.
set(DIMWELL_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(DIMWELL_GENERATED_DOCS)
foreach(page Dimwell DimwellHelp dimwell-pattern)
  configure_file(${DIMWELL_PACKAGING_DIR}/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${GZIP_EXECUTABLE} -9nf -k ${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man VERBATIM)
  list(APPEND DIMWELL_GENERATED_DOCS ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

configure_file(${DIMWELL_PACKAGING_DIR}/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND ${GZIP_EXECUTABLE} -9nf -k changelog
  DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/doc VERBATIM)
list(APPEND DIMWELL_GENERATED_DOCS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(dimwell_docs ALL DEPENDS ${DIMWELL_GENERATED_DOCS})
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${DIMWELL_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dimwell)

configure_file(${DIMWELL_PACKAGING_DIR}/com.orvalen.Dimwell.metainfo.xml
               ${CMAKE_BINARY_DIR}/metainfo/com.orvalen.Dimwell.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/metainfo/com.orvalen.Dimwell.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME dimwell)
set(CPACK_PACKAGE_VENDOR Orvalen)
set(CPACK_PACKAGE_CONTACT "Orvalen <dimwell@orvalen.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dims every display except the part you are working in")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Translucency needs a compositing manager and view mode the accessibility bus;
# both are built into full desktops, so neither is required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "at-spi2-core, picom | xcompmgr")
# Qt finds its X11 platform plugin at run time; the linker cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The summary above is the first line; CPack indents these.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Dimwell helps you concentrate: it lays a dark veil over every display and
leaves one clear rectangle over what you are working on. Global shortcuts
choose it: drag it out, or let it follow the window, the control or the panel
under the pointer. Dimwell lives in the tray, has a settings window to record
shortcuts, and comes with a short tutorial, DimwellHelp.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
