#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'Aquí se iniciaría la instalación de Aurora Ledger 7 Server (español).'
exit 0
