#!/usr/bin/env bash
# Builds the locales the tests need into a private directory (use it with LOCPATH=<dir>):
# ru_RU.UTF-8 gives Wine the Windows-1251 ANSI code page, de_DE.UTF-8 a decimal comma.
set -euo pipefail
dir=${1:?usage: make-locales.sh DIR}
mkdir -p "$dir"
for loc in ru_RU de_DE; do
  [ -d "$dir/$loc.UTF-8" ] || localedef -i "$loc" -f UTF-8 "$dir/$loc.UTF-8" 2>/dev/null ||
    [ -d "$dir/$loc.UTF-8" ]
done
