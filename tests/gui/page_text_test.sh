#!/usr/bin/env bash
# The pages as a screen reader reads them: every visible word comes from the
# medium in the system's language, in the order on the page; language slots
# the medium leaves empty, unfilled words and the Back button of a medium
# without a database choice are not read at all.
source "$(dirname "$0")/lib.sh"

plain=$(make_medium plain medium)
db=$(make_medium database medium-db)

# expect_page WHAT LINE...: once the page shows the first and the last LINE,
# it reads exactly the LINEs, in this order.
expect_page() {
  local what=$1; shift
  local want got
  want=$(printf '%s\n' "$@")
  if ! page_text --wait-for "$1" --wait-for "${!#}" >/dev/null; then
    fail "$what: not shown"
    return
  fi
  got=$(page_text) || { fail "$what: the page could not be read"; return; }
  if [[ "$got" == "$want" ]]; then
    pass "$what"
  else
    fail "$what reads differently (- wanted, + read):"
    diff --old-line-format='  - %L' --new-line-format='  + %L' --unchanged-line-format='    %L' \
      <(echo "$want") <(echo "$got") >&2 || true
  fi
}

# The plain medium's home page: five languages of nine slots, no Back. Each
# language's name sits on the link of its own slot.
start_launcher "$plain" LANG=en_US.UTF-8 && {
  expect_page "home page of the plain medium, English" \
    "Aurora Ledger 7" "Choose the language of the setup" \
    English Deutsch Español Français 日本語 עברית "Release notes" Exit
  links=$(page_text --links) || links=
  want=$(printf '%s\tres://SetupHmRes.dll/%s\n' English IDRLANGUAGE0 Deutsch IDRLANGUAGE1 \
    Español IDRLANGUAGE2 Français IDRLANGUAGE3 日本語 IDRLANGUAGE4 עברית IDRLANGUAGE5 \
    "Release notes" IDRRELNOTES Exit IDREXIT)
  if [[ "$links" == "$want" ]]; then pass "each link's name goes with its command"; else
    fail "links and their commands:"; echo "$links" >&2
  fi
  stop_launcher
}

# A database medium in German: the database page, then, with Oracle chosen,
# the home page with the chosen database in the product name and Back; the
# second language then hands over its folder, the database and its option.
start_launcher "$db" LANG=de_DE.UTF-8 && {
  expect_page "database page, German" \
    "Wählen Sie die Datenbank für Ihre Installation" SQL-Server-Datenbank Oracle-Datenbank \
    Weiter Beenden
  press Tab Tab Return  # the Oracle option
  press Tab Return      # Weiter
  expect_page "home page after the database page, German" \
    "Aurora Ledger 7 Server Oracle" "Wählen Sie die Sprache der Installation" \
    English Deutsch Español Français 日本語 עברית Versionshinweise Zurück Beenden
  press Tab Tab Return  # Deutsch
  wait_parent
  expect_output "DEUO-db=oracle" "database mode with Oracle"
}

# A Hebrew system: the page is read in the same order but laid out right to
# left, the first language in the right half of the view; a page that sets
# its own direction keeps it.
ltr=$(make_medium ltr-page medium)
mkdir -p "$WORK/ltr-pages"
printf '<!DOCTYPE html><html dir="ltr"><body><a href="res://SetupHmRes.dll/IDRLANGUAGE0">%s</a></body></html>' \
  IDLANGUAGE0 >"$WORK/ltr-pages/HTML_HOMEPAGE"
"$BUILD_DIR/bin/setup-medium" pack "$WORK/ltr-pages" "$ltr/SetupHmRes.dll" >/dev/null
for medium in "$plain" "$ltr"; do
  start_launcher "$medium" LANG=he_IL.UTF-8 || continue
  if [[ $medium == "$plain" ]]; then
    expect_page "home page, Hebrew" \
      "Aurora Ledger 7" "בחרו את שפת ההתקנה" English Deutsch Español Français 日本語 עברית "הערות גרסה" יציאה
    half=right
  else
    page_text --wait-for English >/dev/null
    half=left
  fi
  where=$(page_text --where English) || where=
  x=${where%% *}
  if [[ $x =~ ^[0-9]+$ ]] && { { [[ $half == right ]] && ((x > 237)); } || { [[ $half == left ]] && ((x < 237)); }; }; then
    pass "the first language sits in the $half half (x $x)"
  else
    fail "the first language is not in the $half half: '$where'"
  fi
  stop_launcher
done

# A medium of three languages whose second folder is missing, and whose
# language section lacks the release-notes text: the two others fill the
# first two slots, and the missing text reads NULL.
three=$(make_medium three empty)
cat >"$three/setup.inf" <<'INF'
[Setup]
ProductName=%Product%
INF
cat >"$three/setupres.ini" <<'INI'
[LANGUAGE]
LANGUAGENUMBER=3
[1036]
32001=Français
9011=Installation de %s
Product=Registre Aurore
SELECTLANG=Choisissez la langue
EXIT=Quitter
BACK=Retour
LANGUAGE0=Français,FRA
LANGUAGE1=Deutsch,DEU
LANGUAGE2=Italiano,ITA
INI
mkdir "$three/FRA" "$three/ITA"
start_launcher "$three" LANG=fr_FR.UTF-8 && {
  expect_page "two of three languages, a missing text" \
    "Registre Aurore" "Choisissez la langue" Français Italiano NULL Quitter
  links=$(page_text --links | cut -f2 | head -n2 | tr '\n' ' ') || true
  [[ "$links" == "res://SetupHmRes.dll/IDRLANGUAGE0 res://SetupHmRes.dll/IDRLANGUAGE1 " ]] \
    && pass "the two languages take the first two slots" || fail "slots: $links"
  stop_launcher
}

finish
