#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'כאן הייתה מתחילה ההתקנה של Aurora Ledger 7 Server (עברית).'
exit 0
