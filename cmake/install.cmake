# What `cmake --install` puts where, and the Debian package built from it
# (`cpack -G DEB` in the build directory).
#
#   bin/                          setup-launcher, setup-parent, setup-medium,
#                                 setup-launcher-demo
#   lib/setup-launcher/           setup-launcher-gtk.so (the launcher's window)
#   share/setup-launcher/         SetupHmRes.dll (the sample page library)
#   share/setup-launcher/pages/   its sources
#   share/setup-launcher/demo/    the demo media, medium/ and medium-db/
#   share/man/man1/               the manual pages, gzipped
#   share/doc/setup-launcher/     the README files
#
# The launcher reads its files and its window from its own folder, so the
# installed demo media are run through setup-launcher-demo, which copies one
# with the launcher and its window to a temporary folder.

# A fuzz build holds none of the programs: nothing to install.
if(NOT TARGET setup-launcher)
  return()
endif()

include(GNUInstallDirs)

set(SETUP_LAUNCHER_DATADIR ${CMAKE_INSTALL_DATADIR}/setup-launcher)
set(SETUP_LAUNCHER_LIBDIR ${CMAKE_INSTALL_LIBDIR}/setup-launcher)

install(TARGETS setup-launcher setup-parent setup-medium
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS setup-launcher-gtk LIBRARY DESTINATION ${SETUP_LAUNCHER_LIBDIR})

# The demo runner finds the data from its own place, so that it works under
# any prefix (the package's /usr as well as /usr/local).
file(RELATIVE_PATH BIN_TO_DATA ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/setup-launcher)
file(RELATIVE_PATH BIN_TO_MODULE ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/setup-launcher)
configure_file(${PROJECT_SOURCE_DIR}/tools/setup-launcher-demo.in
  ${PROJECT_BINARY_DIR}/tools/setup-launcher-demo @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/tools/setup-launcher-demo
  DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${SETUP_LAUNCHER_PAGE_LIBRARY} DESTINATION ${SETUP_LAUNCHER_DATADIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/pages/ DESTINATION ${SETUP_LAUNCHER_DATADIR}/pages)

# The demo media keep the executable bit of their placeholder setup.sh.
# Each holds links to the page library and the launcher's window, so that
# `setup-medium check` finds the installed medium whole but for the
# launcher.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/demo/medium ${PROJECT_SOURCE_DIR}/demo/medium-db
  DESTINATION ${SETUP_LAUNCHER_DATADIR}/demo
  USE_SOURCE_PERMISSIONS)
file(RELATIVE_PATH MEDIUM_TO_MODULE ${CMAKE_INSTALL_FULL_DATADIR}/setup-launcher/demo/medium
  ${CMAKE_INSTALL_FULL_LIBDIR}/setup-launcher/setup-launcher-gtk.so)
foreach(MEDIUM medium medium-db)
  foreach(LINK "SetupHmRes.dll:../../SetupHmRes.dll" "setup-launcher-gtk.so:${MEDIUM_TO_MODULE}")
    string(REPLACE ":" ";" LINK ${LINK})
    list(GET LINK 0 NAME)
    list(GET LINK 1 TARGET)
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${SETUP_LAUNCHER_DATADIR}/demo/${MEDIUM}/${NAME}\")
      message(STATUS \"Installing: \${link} -> ${TARGET}\")
      file(REMOVE \"\${link}\")
      file(CREATE_LINK ${TARGET} \"\${link}\" SYMBOLIC)")
  endforeach()
endforeach()

# Manual pages, gzipped at build time (-n: no name or time stamp inside, so
# the package is the same from one build to the next).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(MAN_PAGES setup-launcher setup-parent setup-medium)
set(MAN_OUTPUTS)
foreach(PAGE ${MAN_PAGES})
  set(SOURCE ${PROJECT_SOURCE_DIR}/docs/man/${PAGE}.1)
  set(OUTPUT ${PROJECT_BINARY_DIR}/man/${PAGE}.1.gz)
  add_custom_command(
    OUTPUT ${OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND sh -c "\"$0\" -9nc \"$1\" >\"$2\"" ${GZIP_PROGRAM} ${SOURCE} ${OUTPUT}
    DEPENDS ${SOURCE}
    COMMENT "Compressing the manual page ${PAGE}(1)"
    VERBATIM)
  list(APPEND MAN_OUTPUTS ${OUTPUT})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${MAN_OUTPUTS})
install(FILES ${MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/demo/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.demo.md)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME setup-launcher)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "setup-launcher maintainers <maintainers@users.noreply.c-seed-3b5716df.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "graphical front page of a multi-language product setup")
# The package's long description; the summary above is its first line.
set(CPACK_PACKAGE_DESCRIPTION "setup-launcher sits on a setup medium beside setup.inf, setupres.ini and
the page library SetupHmRes.dll. Started by a parent setup program, it
shows one window with an HTML page in the system's language, where the
user picks the setup language (and a database), opens the release notes,
or leaves; the choice goes to the parent on standard output.

The package holds the launcher, the reference parent setup-parent, the
medium author's tool setup-medium (read, check, preview, pack and unpack),
a sample page library with its sources, and two demo media that
setup-launcher-demo runs.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link come from dpkg-shlibdeps. Besides them:
# `setup-medium pack` runs glib-compile-resources (libglib2.0-dev-bin on
# Debian 12), and the pages need fonts; the CJK fonts show the demo's
# Japanese; `setup-medium preview` without a display starts Xvfb.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libglib2.0-dev-bin, fonts-dejavu-core | fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
include(CPack)
