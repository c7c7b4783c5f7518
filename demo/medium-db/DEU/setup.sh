#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'Hier würde die Installation von Aurora Ledger 7 Server (Deutsch) starten.'
exit 0
