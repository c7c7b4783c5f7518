# Writes the README as installed: the project's README.md with the build
# tree's paths replaced by the installed ones, and an opening of its own in
# place of the source tree's commands: what an installed user runs, and a
# few lines on the installed layout. Included at install time with SOURCE,
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

# The README opens with the two commands of the source tree (scripts/demo.sh,
# scripts/test.sh) and a paragraph on them; the installed one opens with
# what runs from the installed files instead, and says where they are.
set(OPENING "```sh
setup-launcher-demo [--database]   # the launcher on a copy of a demo medium, in this desktop session
setup-medium init my-medium        # a medium of your own, with the launcher, its window and the pages
man setup-medium                   # checking, previewing, packing and unpacking a medium
```

This copy of the README names the installed files: the launcher and its
window are `${LIBDIR}/setup-launcher` and
`${LIBDIR}/setup-launcher-gtk.so` (copy both onto a medium; they are not
run from PATH), the tools `setup-medium`, `setup-parent` and
`setup-launcher-demo` are in `${BINDIR}`, and the sample page library, its
sources and the demo media are under `${DATADIR}/`. Each demo medium holds
its own launcher, window and page library; `setup-launcher-demo` runs a
copy of one in the desktop session it is started in. Commands that build
or test the project (`scripts/`, `cmake`, `ctest`) need its source tree.

")
string(FIND "${TEXT}" "```sh\n" BLOCK_START)
string(FIND "${TEXT}" "\n```\n" BLOCK_END)
if(BLOCK_START LESS 0 OR BLOCK_END LESS BLOCK_START)
  message(FATAL_ERROR "installed_readme.cmake: ${SOURCE} does not open with a block of commands")
endif()
string(SUBSTRING "${TEXT}" 0 ${BLOCK_START} TITLE)
# The paragraph after the block goes with it.
math(EXPR AFTER_BLOCK "${BLOCK_END} + 5")
string(SUBSTRING "${TEXT}" ${AFTER_BLOCK} -1 REST)
string(FIND "${REST}" "\n\n" PARAGRAPH_END)
if(PARAGRAPH_END LESS 0)
  message(FATAL_ERROR "installed_readme.cmake: ${SOURCE} holds nothing after its opening")
endif()
math(EXPR REST_START "${PARAGRAPH_END} + 2")
string(SUBSTRING "${REST}" ${REST_START} -1 REST)
math(EXPR OPENING_LENGTH "${AFTER_BLOCK} + ${REST_START} - ${BLOCK_START}")
string(SUBSTRING "${TEXT}" ${BLOCK_START} ${OPENING_LENGTH} SOURCE_OPENING)
foreach(COMMAND scripts/demo.sh scripts/test.sh)
  string(FIND "${SOURCE_OPENING}" "${COMMAND}" AT)
  if(AT LESS 0)
    message(FATAL_ERROR "installed_readme.cmake: the opening of ${SOURCE} no longer names ${COMMAND}: "
      "say what the installed README opens with instead")
  endif()
endforeach()
file(WRITE ${OUTPUT} "${TITLE}${OPENING}${REST}")
