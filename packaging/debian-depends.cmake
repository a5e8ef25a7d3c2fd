# Read by cpack as the project's configuration, once for each generator: for the Debian
# package it sets the Depends field from dpkg-shlibdeps, run on the programs and the control
# libraries (TALVERO_DEB_ELF_FILES) in a folder holding the empty debian/control it asks for
# (TALVERO_SHLIBDEPS_DIR).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
find_program(TALVERO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT TALVERO_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps is missing (package dpkg-dev, scripts/install-deps)")
endif()
execute_process(
    COMMAND "${TALVERO_DPKG_SHLIBDEPS}" -O ${TALVERO_DEB_ELF_FILES}
    WORKING_DIRECTORY "${TALVERO_SHLIBDEPS_DIR}"
    OUTPUT_VARIABLE _shlibdeps
    ERROR_VARIABLE _shlibdeps_errors
    RESULT_VARIABLE _shlibdeps_result
    OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _shlibdeps_result EQUAL 0 OR NOT _shlibdeps MATCHES "^shlibs:Depends=(.+)$")
    message(FATAL_ERROR "dpkg-shlibdeps failed (${_shlibdeps_result}):\n${_shlibdeps_errors}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
