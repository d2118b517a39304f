# Installs the GIMP plug-in PROGRAM and the module SOURCE for the current user, into GIMP
# 2.10's own folder: $GIMP2_DIRECTORY, or $XDG_CONFIG_HOME/GIMP/2.10 (~/.config/GIMP/2.10).
if(DEFINED ENV{GIMP2_DIRECTORY})
  set(gimp_dir $ENV{GIMP2_DIRECTORY})
elseif(DEFINED ENV{XDG_CONFIG_HOME})
  set(gimp_dir $ENV{XDG_CONFIG_HOME}/GIMP/2.10)
else()
  set(gimp_dir $ENV{HOME}/.config/GIMP/2.10)
endif()
set(folder ${gimp_dir}/plug-ins/tarnwell)
file(MAKE_DIRECTORY ${folder})
file(COPY ${PROGRAM} DESTINATION ${folder}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(COPY ${SOURCE} DESTINATION ${folder} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
message(STATUS "Installed into ${folder}; restart GIMP and find Tarnwell 2 under Filters > Light and Shadow")
