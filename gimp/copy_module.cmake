# Copies the plug-in module SOURCE into FOLDER as a plain, non-executable file.
file(COPY ${SOURCE} DESTINATION ${FOLDER}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
