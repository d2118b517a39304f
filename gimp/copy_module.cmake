# Copies the plug-in module SOURCE into FOLDER as a plain, non-executable file, stamped with
# the time of the copy so the build sees it as up to date.
get_filename_component(name ${SOURCE} NAME)
file(MAKE_DIRECTORY ${FOLDER})
file(COPY_FILE ${SOURCE} ${FOLDER}/${name})
file(CHMOD ${FOLDER}/${name} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
