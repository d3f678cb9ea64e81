#!/bin/sh
# Writes a program's manual page from its own --help and --version, so the two cannot drift
# apart, gzipped as Debian keeps manual pages.
# Usage: scripts/man-page.sh PROGRAM SECTIONS.h2m LOCALE OUT.1.gz
set -eu
PROGRAM=$1 SECTIONS=$2 LOCALE=$3 OUT=$4
# help2man reads the help in the locale's character set; without the locale the Cyrillic is mangled.
locale -a 2>/dev/null | grep -qix "$(echo "$LOCALE" | sed 's/UTF-8/utf8/')" || LOCALE=C.UTF-8
TMP=$(mktemp)
trap 'rm -f "$TMP"' EXIT
# The window program answers --help without a screen, but Qt still looks for one.
LC_ALL=$LOCALE QT_QPA_PLATFORM=offscreen help2man --no-info -L "$LOCALE" -i "$SECTIONS" -o "$TMP" "$PROGRAM"
gzip -9n <"$TMP" >"$OUT"
