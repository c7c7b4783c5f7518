#!/usr/bin/env bash
# Start-up as a person sees it: the caption in the system's language, the
# first page, and nothing on standard output while the window is open.
source "$(dirname "$0")/lib.sh"

medium=$(make_medium plain medium)
db_medium=$(make_medium database medium-db)

check_caption() {  # LOCALE EXPECTED
  start_launcher "$medium" LANG="$1" LC_ALL= LC_MESSAGES= || return 0
  local got
  got=$(caption)
  if [[ "$got" == "$2" ]]; then pass "caption under $1"; else fail "caption under $1: '$got', wanted '$2'"; fi
  stop_launcher
}
check_caption de_DE.UTF-8 "Aurora Ledger 7 – Installation"
check_caption es_ES.UTF-8 "$("$BUILD_DIR/bin/setup-medium" get "$medium/setupres.ini" 1034 9011 | sed 's/%s/Aurora Ledger 7/')"
check_caption ja_JP.UTF-8 "$("$BUILD_DIR/bin/setup-medium" get "$medium/setupres.ini" 1041 9011 | sed 's/%s/Aurora Ledger 7/')"
check_caption xx_YY.UTF-8 "Aurora Ledger 7 Setup"
check_caption C "Aurora Ledger 7 Setup"

# The home page comes first on a medium without a database choice, the
# database page (the only page showing the selected-option image) on one
# with it.
start_launcher "$medium" LANG=en_US.UTF-8 && {
  screenshot "$WORK/home.png"
  if has_colour "$WORK/home.png" 1B7F3B; then fail "the plain medium shows the database page"; else pass "plain medium opens the home page"; fi
  stop_launcher
  if [[ -s "$WORK/stdout" ]]; then fail "standard output written: $(cat "$WORK/stdout")"; else pass "nothing on standard output"; fi
}
start_launcher "$db_medium" LANG=en_US.UTF-8 && {
  screenshot "$WORK/database.png"
  if has_colour "$WORK/database.png" 1B7F3B; then pass "database medium opens the database page"; else fail "the database medium does not show the database page"; fi
  stop_launcher
}

# Without its page library the view shows its error page; the launcher
# stays up and writes nothing.
rm "$medium/SetupHmRes.dll"
start_launcher "$medium" LANG=en_US.UTF-8 && {
  screenshot "$WORK/nolibrary.png"
  if kill -0 "$LAUNCHER_PID" 2>/dev/null; then pass "runs on without its page library"; else fail "ended without its page library"; fi
  stop_launcher
  [[ -s "$WORK/stdout" ]] && fail "standard output written without a page library"
}

finish
