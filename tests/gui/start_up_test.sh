#!/usr/bin/env bash
# Start-up as a person sees it: the caption in the system's language (a
# non-ASCII one through the real window title), the database page first on a
# medium with a database choice, its images drawn from the page library,
# and nothing on standard output while the window is open. Which section a
# locale reads and how the caption is formed are unit tests.
source "$(dirname "$0")/lib.sh"

medium=$(make_medium plain medium)
db_medium=$(make_medium database medium-db)

start_launcher "$medium" LANG=de_DE.UTF-8 LC_ALL= LC_MESSAGES= && {
  got=$(caption) || got="(no caption)"
  want="Aurora Ledger 7 – Installation"
  if [[ "$got" == "$want" ]]; then pass "caption under de_DE.UTF-8"; else fail "caption under de_DE.UTF-8: '$got', wanted '$want'"; fi
  stop_launcher
  if [[ -s "$WORK/stdout" ]]; then fail "standard output written: $(cat "$WORK/stdout")"; else pass "nothing on standard output"; fi
}

# The selected-option image shows only on the database page.
start_launcher "$db_medium" LANG=en_US.UTF-8 && {
  screenshot "$WORK/database.png"
  if has_colour "$WORK/database.png" 1B7F3B; then pass "database medium opens the database page"; else fail "the database medium does not show the database page"; fi
  stop_launcher
}

finish
