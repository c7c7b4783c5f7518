# What `cmake --install` puts where, and the Debian package built from it
# (`cpack -G DEB` in the build directory).
#
#   bin/                          setup-parent, setup-medium, setup-launcher-demo
#   lib/setup-launcher/           setup-launcher and its window
#                                 setup-launcher-gtk.so: copied onto media,
#                                 never run from PATH
#   share/setup-launcher/         SetupHmRes.dll (the sample page library)
#   share/setup-launcher/pages/   its sources
#   share/setup-launcher/demo/    the demo media, medium/ and medium-db/, each
#                                 whole: the launcher, its window and the page
#                                 library beside the files, as real files
#   share/man/man1/               the manual pages, gzipped
#   share/doc/setup-launcher/     the README files, naming installed paths
#
# The launcher reads its files and its window from its own folder, and the
# installed demo media are read-only, so setup-launcher-demo copies one to a
# temporary folder and runs it there.
#
# The package holds stripped programs: cpack splits the debug information of
# each ELF file (objcopy --only-keep-debug, then --strip-unneeded and
# --add-gnu-debuglink) into a package of its own beside the .deb,
# setup-launcher-dbgsym_VERSION_ARCH.ddeb, under
# /usr/lib/debug/.build-id/ as gdb looks for it. That needs a build with
# debug information (RelWithDebInfo or Debug). A plain
# `cmake --install` keeps the build's binaries as they are;
# `cmake --install --strip` strips them.

# A fuzz build holds none of the programs: nothing to install.
if(NOT TARGET setup-launcher)
  return()
endif()

include(GNUInstallDirs)

set(SETUP_LAUNCHER_DATADIR ${CMAKE_INSTALL_DATADIR}/setup-launcher)
set(SETUP_LAUNCHER_LIBDIR ${CMAKE_INSTALL_LIBDIR}/setup-launcher)

install(TARGETS setup-parent setup-medium RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS setup-launcher RUNTIME DESTINATION ${SETUP_LAUNCHER_LIBDIR})
install(TARGETS setup-launcher-gtk LIBRARY DESTINATION ${SETUP_LAUNCHER_LIBDIR})
install(PROGRAMS ${SETUP_LAUNCHER_ENTRY_POINT} DESTINATION ${SETUP_LAUNCHER_LIBDIR})

# The demo runner finds the data from its own place, so that it works under
# any prefix (the package's /usr as well as /usr/local).
file(RELATIVE_PATH BIN_TO_DATA ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/setup-launcher)
configure_file(${PROJECT_SOURCE_DIR}/tools/setup-launcher-demo.in
  ${PROJECT_BINARY_DIR}/tools/setup-launcher-demo @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/tools/setup-launcher-demo
  DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${SETUP_LAUNCHER_PAGE_LIBRARY} DESTINATION ${SETUP_LAUNCHER_DATADIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/pages/ DESTINATION ${SETUP_LAUNCHER_DATADIR}/pages)

# The demo media keep the executable bit of their placeholder setup.sh.
# Each is whole, with real copies of the launcher, its window, the page
# library and the entry point with its parent: a copy of the folder runs
# wherever it is put. They are installed without SHA256SUMS: the package
# strips the programs after installing them, which a seal made here would
# not know; setup-launcher-demo seals the copy it runs.
foreach(MEDIUM medium medium-db)
  set(MEDIUM_DIR ${SETUP_LAUNCHER_DATADIR}/demo/${MEDIUM})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/demo/${MEDIUM}/ DESTINATION ${MEDIUM_DIR}
    USE_SOURCE_PERMISSIONS)
  install(TARGETS setup-launcher RUNTIME DESTINATION ${MEDIUM_DIR})
  install(TARGETS setup-launcher-gtk LIBRARY DESTINATION ${MEDIUM_DIR})
  install(TARGETS setup-parent RUNTIME DESTINATION ${MEDIUM_DIR})
  install(PROGRAMS ${SETUP_LAUNCHER_ENTRY_POINT} DESTINATION ${MEDIUM_DIR})
  install(FILES ${SETUP_LAUNCHER_PAGE_LIBRARY} DESTINATION ${MEDIUM_DIR})
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

# The README as installed names the installed paths; README.md stays its one
# source. It is written at install time, when the prefix is known (cpack
# installs under /usr, `cmake --install` under its --prefix).
install(CODE "
  set(SOURCE \"${PROJECT_SOURCE_DIR}/README.md\")
  set(OUTPUT \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}/README.md\")
  set(BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(LIBDIR \"\${CMAKE_INSTALL_PREFIX}/${SETUP_LAUNCHER_LIBDIR}\")
  set(DATADIR \"\${CMAKE_INSTALL_PREFIX}/${SETUP_LAUNCHER_DATADIR}\")
  message(STATUS \"Installing: \${OUTPUT}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/installed_readme.cmake\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${OUTPUT}\")")
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
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# The libraries the programs link come from dpkg-shlibdeps. Besides them,
# the pages need fonts; the CJK fonts show the demo's Japanese;
# `setup-medium pack` runs glib-compile-resources, from a development
# package (libglib2.0-dev-bin on Debian 12) that only pack needs, and says
# so when it is missing; `setup-medium image` runs xorriso, and says so
# when it is missing; `setup-medium preview` without a display starts
# Xvfb.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core | fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, libglib2.0-dev-bin, xorriso")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
# The package has no maintainer scripts. CPack gives a package that holds
# a shared object in lib/ or in a folder of it a postinst and a postrm that
# run ldconfig, and has no setting to leave them out, though the launcher's
# window module in lib/setup-launcher/ is no library the linker finds. A
# postinst and a postrm named here stand in for CPack's, and CPack adds a
# named file only when it exists, which these never do (cpack warns of each
# as a missing file; the package test checks that the package has none).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/no-maintainer-scripts/postinst ${PROJECT_BINARY_DIR}/no-maintainer-scripts/postrm)
include(CPack)
