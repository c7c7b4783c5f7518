#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'כאן הייתה מתחילה ההתקנה של Aurora Ledger 7 (עברית).'
exit 0
