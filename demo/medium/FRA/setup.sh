#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'L’installation d’Aurora Ledger 7 (français) démarrerait ici.'
exit 0
