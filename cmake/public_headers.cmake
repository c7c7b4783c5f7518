# Each library exports only its own public headers. They are linked into a
# folder of the build tree that holds nothing else, and that folder is the
# target's include directory: `#include "pages/page_filling.h"` resolves
# only in a target that links `pages`, so a wrong arrow between the layers
# fails the build.
#
#   target_public_headers(TARGET PUBLIC|INTERFACE|PRIVATE PREFIX HEADER...)
#
# makes each HEADER of the current source folder includable as
# "PREFIX/HEADER" by TARGET (PRIVATE: by TARGET only) and, unless PRIVATE,
# by whatever links it.
function(target_public_headers TARGET SCOPE PREFIX)
  set(ROOT ${PROJECT_BINARY_DIR}/include/${TARGET})
  file(REMOVE_RECURSE ${ROOT})
  file(MAKE_DIRECTORY ${ROOT}/${PREFIX})
  foreach(HEADER IN LISTS ARGN)
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${HEADER} ${ROOT}/${PREFIX}/${HEADER} SYMBOLIC)
  endforeach()
  target_include_directories(${TARGET} ${SCOPE} ${ROOT})
endfunction()
