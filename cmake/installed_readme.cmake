# Writes the README as installed: the project's README.md with the build
# tree's paths replaced by the installed ones, and a few lines on the
# installed layout after its title. Included at install time with SOURCE,
# OUTPUT, BINDIR, LIBDIR (the launcher's folder) and DATADIR (the data's
# folder) set.
foreach(VAR SOURCE OUTPUT BINDIR LIBDIR DATADIR)
  if(NOT DEFINED ${VAR})
    message(FATAL_ERROR "installed_readme.cmake: ${VAR} is not set")
  endif()
endforeach()

file(READ ${SOURCE} TEXT)

# The launcher is copied onto media from its own folder; the other programs
# are on PATH; the demo media and the page library are installed data.
string(REGEX REPLACE "build/bin/setup-launcher([^-])" "${LIBDIR}/setup-launcher\\1" TEXT "${TEXT}")
string(REPLACE "build/bin/" "" TEXT "${TEXT}")
string(REPLACE "build/media/" "${DATADIR}/demo/" TEXT "${TEXT}")
string(REPLACE "build/pages/" "${DATADIR}/" TEXT "${TEXT}")
string(REPLACE "res/pages" "${DATADIR}/pages" TEXT "${TEXT}")
string(REPLACE "demo/README.md" "README.demo.md" TEXT "${TEXT}")

set(LAYOUT "
This copy of the README names the installed files: the launcher and its
window are `${LIBDIR}/setup-launcher` and
`${LIBDIR}/setup-launcher-gtk.so` (copy both onto a medium; they are not
run from PATH), the tools `setup-medium`, `setup-parent` and
`setup-launcher-demo` are in `${BINDIR}`, and the sample page library, its
sources and the demo media are under `${DATADIR}/`. Each demo medium holds
its own launcher, window and page library; `setup-launcher-demo` runs a
copy of one. Commands that build or test the project (`scripts/`,
`cmake`, `ctest`) need its source tree.
")
string(FIND "${TEXT}" "\n" END_OF_TITLE)
string(SUBSTRING "${TEXT}" 0 ${END_OF_TITLE} TITLE)
math(EXPR REST_START "${END_OF_TITLE} + 1")
string(SUBSTRING "${TEXT}" ${REST_START} -1 REST)
file(WRITE ${OUTPUT} "${TITLE}\n${LAYOUT}${REST}")
