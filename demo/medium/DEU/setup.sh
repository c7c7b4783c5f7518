#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'Hier würde die Installation von Aurora Ledger 7 (Deutsch) starten.'
exit 0
