# shellcheck shell=bash
# Sourced by the tests that install from the build tree (BUILD_DIR).
# cmake --install and cpack write install_manifest.txt into the build
# directory whatever the prefix: keeping_build_tree COMMAND... runs COMMAND
# and leaves that file as it was before (an earlier install's list stays,
# for its uninstall; none stays none), with COMMAND's exit status.
keeping_build_tree() {
  local manifest=$BUILD_DIR/install_manifest.txt saved status=0
  saved=$(mktemp)
  if [[ -e $manifest ]]; then cp -p "$manifest" "$saved"; else rm -f "$saved"; fi
  "$@" || status=$?
  if [[ -e $saved ]]; then mv "$saved" "$manifest"; else rm -f "$manifest"; fi
  return "$status"
}
