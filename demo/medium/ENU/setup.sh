#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'Aurora Ledger 7 setup (English) would start here.'
exit 0
