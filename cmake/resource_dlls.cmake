# Windows resource-only DLLs built from .rc files with the MinGW binutils,
# 32- and 64-bit, as Windows tools build a page library. The tests, the
# fuzz seeds and the benchmarks build theirs here; no DLL is kept in the
# repository.
#
#   add_resource_dlls(TARGET OUT_DIR RC FILE.rc... [DEPENDS FILE...])
#
# builds OUT_DIR/<name>-32.dll and OUT_DIR/<name>-64.dll from each .rc file
# (no preprocessor runs, so the files hold no comments; the files they name
# are relative to their own folder). DEPENDS lists the files they name.
foreach(ARCH x86_64 i686)
  find_program(MINGW_WINDRES_${ARCH} ${ARCH}-w64-mingw32-windres REQUIRED)
  find_program(MINGW_LD_${ARCH} ${ARCH}-w64-mingw32-ld REQUIRED)
endforeach()

function(add_resource_dlls TARGET OUT_DIR)
  cmake_parse_arguments(ARG "" "" "RC;DEPENDS" ${ARGN})
  set(OUTPUTS)
  foreach(RC IN LISTS ARG_RC)
    get_filename_component(RC ${RC} ABSOLUTE)
    get_filename_component(NAME ${RC} NAME_WE)
    get_filename_component(DIR ${RC} DIRECTORY)
    foreach(ARCH x86_64 i686)
      if(ARCH STREQUAL x86_64)
        set(BITS 64)
      else()
        set(BITS 32)
      endif()
      set(OBJECT ${OUT_DIR}/obj/${NAME}-${BITS}.o)
      set(DLL ${OUT_DIR}/${NAME}-${BITS}.dll)
      add_custom_command(
        OUTPUT ${DLL}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${OUT_DIR}/obj
        COMMAND ${MINGW_WINDRES_${ARCH}} --preprocessor=cat -i ${RC} -o ${OBJECT}
        COMMAND ${MINGW_LD_${ARCH}} -shared -e 0 -o ${DLL} ${OBJECT}
        WORKING_DIRECTORY ${DIR}
        DEPENDS ${RC} ${ARG_DEPENDS}
        COMMENT "Building ${NAME}-${BITS}.dll"
        VERBATIM)
      list(APPEND OUTPUTS ${DLL})
    endforeach()
  endforeach()
  add_custom_target(${TARGET} DEPENDS ${OUTPUTS})
endfunction()

# The page library of the tests: the sample pages and images under their
# names, a page and an image by numeric id, a style sheet of a named type,
# and names in several languages (one of them neutral).
set(TEST_PAGES_RC ${PROJECT_SOURCE_DIR}/tests/dlls/pages.rc)
set(TEST_PAGES_RC_DEPENDS
  ${PROJECT_SOURCE_DIR}/res/pages/home.html ${PROJECT_SOURCE_DIR}/res/pages/database.html
  ${PROJECT_SOURCE_DIR}/res/pages/gif_selected.gif ${PROJECT_SOURCE_DIR}/res/pages/gif_noselected.gif
  ${PROJECT_SOURCE_DIR}/res/icons/setup-launcher.png)
