# Where `cmake --install` (and so the packages) put things, and the paths the installed
# programs use to find the plug-in module relative to themselves.
include(GNUInstallDirs)

if(WIN32)
  # The Windows zip is one flat folder: Tarnwell.8bf, tarnwell.exe, the README, the credits.
  set(TARNWELL_INSTALL_BIN_DIR .)
  set(TARNWELL_INSTALL_MODULE_DIR .)
  set(TARNWELL_INSTALL_DOC_DIR .)
else()
  set(TARNWELL_INSTALL_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  # The module is private to the command and the GIMP plug-in, not a library for others.
  set(TARNWELL_INSTALL_MODULE_DIR lib/tarnwell)
  set(TARNWELL_INSTALL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwell)
endif()
file(RELATIVE_PATH TARNWELL_MODULE_DIR_FROM_BIN /prefix/${TARNWELL_INSTALL_BIN_DIR}
     /prefix/${TARNWELL_INSTALL_MODULE_DIR})
if(TARNWELL_MODULE_DIR_FROM_BIN STREQUAL "")
  set(TARNWELL_MODULE_DIR_FROM_BIN .)
endif()
