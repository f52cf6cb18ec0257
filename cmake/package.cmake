# The Debian package molvexecr_<version>_amd64.deb (cpack in a build tree): ecrfisc and ecr-sim
# (and the print service ecr-service with its systemd unit, where the build has it), their manual
# pages, the README and the examples the programs run (the call scripts, the
# settings file and the stand-in uploader) in /usr/share/doc/molvexecr/examples. The dependencies come from the programs themselves
# (dpkg-shlibdeps). `cmake --install` does not build everything first: build package_contents,
# then run cpack (scripts/package.sh does both).
if(WIN32 OR NOT TARGET ecrfisc OR NOT TARGET ecr-sim)
  return()
endif()

include(GNUInstallDirs)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS ecrfisc ecr-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(package_pages ecrfisc.1 ecr-sim.1)
set(package_programs ecrfisc ecr-sim)

# The print service, where the build has it: the program, its systemd unit, its settings (a
# conffile) and the maintainer scripts that make its system user (group dialout) and its token
# (packaging/).
if(TARGET ecr-service)
  install(TARGETS ecr-service RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/ecr-service.service DESTINATION /lib/systemd/system)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/ecr-service.ini DESTINATION /etc/molvexecr)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/receipt.json
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/molvexecr/examples)
  list(APPEND package_pages ecr-service.1)
  list(APPEND package_programs ecr-service)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/prerm
      ${PROJECT_SOURCE_DIR}/packaging/postrm ${PROJECT_SOURCE_DIR}/packaging/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, init-system-helpers")
endif()

# Manual pages, compressed as Debian ships them (no name or time stamp in the gzip header).
set(man_pages)
foreach(page ${package_pages})
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${packed}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND gzip -9n -c ${source} > ${packed}
                     DEPENDS ${source} VERBATIM)
  list(APPEND man_pages ${packed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
# What scripts/package.sh builds before cpack: the programs and the manual pages.
add_custom_target(package_contents DEPENDS ${package_programs} man_pages)
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
if(TARGET ecr-service)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "
It also holds the local print service ecr-service, which takes receipts as
JSON documents over HTTP on this machine, with a queue per printer and every
job in a journal, run by systemd as a user of its own.")
endif()
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
