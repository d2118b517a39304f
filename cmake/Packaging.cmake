# Install rules for the whole product and the packages CPack makes of them:
#   Linux:   cpack -G DEB  (in build/linux)   a Debian package for /usr
#   Windows: cpack -G ZIP  (in build/windows) Tarnwell.8bf, tarnwell.exe, README, credits
# Packing installs what is built; it does not build the tests and benchmarks first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(TARGET tarnwell)
  install(TARGETS tarnwell RUNTIME DESTINATION ${TARNWELL_INSTALL_BIN_DIR})
endif()
if(TARGET tarnwell_plugin)
  # A module the programs load, never run: no execute bit, which also keeps GIMP from
  # trying to start it where it shares a plug-in folder.
  install(TARGETS tarnwell_plugin
          RUNTIME DESTINATION ${TARNWELL_INSTALL_MODULE_DIR}
          LIBRARY DESTINATION ${TARNWELL_INSTALL_MODULE_DIR}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
if(TARGET tarnwell_gimp)
  install(TARGETS tarnwell_gimp RUNTIME DESTINATION ${TARNWELL_INSTALL_GIMP_DIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/examples/CREDITS.md
        DESTINATION ${TARNWELL_INSTALL_DOC_DIR})

set(CPACK_PACKAGE_NAME tarnwell)
set(CPACK_PACKAGE_VENDOR "Quillmoth")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_CONTACT "Tarnwell maintainers <tarnwell@quillmoth.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lying-water filter: the tarnwell command and a GIMP 2.10 filter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tarnwell 2 draws lying water below a horizon: the picture reflected in water seen from an altitude, with "
    "waves, ripples, light, glitter and 69 blend modes. The tarnwell command runs the filter plug-in module over "
    "picture files; the GIMP plug-in adds Filters > Light and Shadow > Tarnwell 2 with a live preview.")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmoth.invalid/tarnwell")
  # The libraries the programs link (libpng, libjpeg, libtiff, GIMP's, GTK's) as dpkg-shlibdeps
  # finds them; GIMP itself is what the filter plugs into, so it is recommended.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS gimp)
endif()
include(CPack)
