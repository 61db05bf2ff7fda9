# The Debian package: `cpack -G DEB` in a build folder (or `make package`).
# tessaro and tessaro-cli go to /usr/bin, the validation and update check
# modules to /usr/lib/tessaro/ (the programs look for them beside themselves,
# then in ../lib/tessaro/ from their folder), with the desktop entry, icon, MIME type
# and a manual page for each program. Depends is computed from the shared
# libraries the files need (dpkg-shlibdeps, from dpkg-dev).

# Manual pages, compressed as Debian keeps them.
set(manual_pages "")
foreach(page tessaro tessaro-cli)
  set(source ${PROJECT_SOURCE_DIR}/data/${page}.1)
  set(compressed ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                     COMMAND gzip -9 -n -c ${source} > ${compressed}
                     DEPENDS ${source} VERBATIM)
  list(APPEND manual_pages ${compressed})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessaro maintainers <tessaro@tessaro.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MPEG-2 transport stream inspector")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tessaro pages through MPEG-2 transport stream recordings of any size,\n\
decodes every header, PES, PSI and DVB SI field of a packet, searches,\n\
and takes streams apart. tessaro is the desktop window, tessaro-cli the\n\
same engine on the command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tessaro.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Without debugging symbols; the version block is part of the loaded image and stays.
set(CPACK_STRIP_FILES ON)
include(CPack)
