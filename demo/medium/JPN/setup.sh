#!/bin/sh
# Placeholder for the real setup of this language.
printf '%s\n' 'ここで Aurora Ledger 7 のセットアップ（日本語）が開始されます。'
exit 0
