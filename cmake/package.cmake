# The Debian package molvexecr_<version>_amd64.deb (cpack in a build tree): ecrfisc and ecr-sim,
# their manual pages, the README and the examples the programs run (the call scripts, the
# settings file and the stand-in uploader) in /usr/share/doc/molvexecr/examples. The dependencies come from the programs themselves
# (dpkg-shlibdeps). `cmake --install` does not build everything first: build the two programs,
# then run cpack (scripts/package.sh does both).
if(WIN32 OR NOT TARGET ecrfisc OR NOT TARGET ecr-sim)
  return()
endif()

include(GNUInstallDirs)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS ecrfisc ecr-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages, compressed as Debian ships them (no name or time stamp in the gzip header).
set(man_pages)
foreach(page ecrfisc.1 ecr-sim.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${packed}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND gzip -9n -c ${source} > ${packed}
                     DEPENDS ${source} VERBATIM)
  list(APPEND man_pages ${packed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/molvexecr)
# Uncompressed, so that they run as they stand: ecrfisc --script .../examples/sale.txt.
install(FILES ${PROJECT_SOURCE_DIR}/examples/sale.txt ${PROJECT_SOURCE_DIR}/examples/close-day.txt
              ${PROJECT_SOURCE_DIR}/examples/ZRepRec.ini
              ${PROJECT_SOURCE_DIR}/examples/archsend-standin.sh
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/molvexecr/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME molvexecr)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "MolvexECR developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "fiscal printer driver tools: command-line client and virtual printer")
set(CPACK_PACKAGE_DESCRIPTION
    "MolvexECR drives a fiscal cash-register printer with an electronic control
tape over a serial port. This package holds its command-line client ecrfisc,
which calls every entry of the automation object by name, probes a port and
finds the printer on the serial ports of the machine, and the virtual fiscal
printer ecr-sim, which serves the printer's protocol on a pseudo-terminal or
a serial device for tests and training.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "man-db")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
