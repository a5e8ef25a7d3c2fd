# cmake -DSOURCE=<file> -DDESTINATION=<file> -P copy-if-absent.cmake
# Puts the default settings into the program folder only when none are there, so that a
# rebuild never overwrites what the user has saved.
if(NOT EXISTS "${DESTINATION}")
    configure_file("${SOURCE}" "${DESTINATION}" COPYONLY)
endif()
