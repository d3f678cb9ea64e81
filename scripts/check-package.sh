#!/bin/sh
# Builds the .deb from an already built tree into a folder of its own and checks it: the
# files land in their standard places, the dependencies are Debian's Qt 6 runtime, the menu
# entry and the AppStream description pass their validators, every option of a program's
# --help is in its manual page, and lintian finds no error (when those tools are installed).
# Usage: scripts/check-package.sh BUILD_DIR
set -eu
BUILD=$(cd "${1:?build folder}" && pwd)
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
fail() { echo "check-package: $*"; exit 1; }

cpack --config "$BUILD/CPackConfig.cmake" -B "$OUT" >"$OUT/cpack.log" 2>&1 || { cat "$OUT/cpack.log"; fail "cpack failed"; }
DEB=$(ls "$OUT"/ornix-tester_*.deb 2>/dev/null | head -n 1)
[ -n "$DEB" ] || fail "no ornix-tester_*.deb in $OUT"

dpkg-deb -c "$DEB" | awk '{print $NF}' | sed 's|^\./|/|' >"$OUT/files"
for f in /usr/bin/ornix-tester /usr/bin/ornix-sim /usr/bin/ornix-cli \
         /usr/share/applications/ru.ornix.tester.desktop \
         /usr/share/icons/hicolor/scalable/apps/ru.ornix.tester.svg \
         /usr/share/metainfo/ru.ornix.tester.metainfo.xml \
         /usr/share/man/man1/ornix-tester.1.gz /usr/share/man/man1/ornix-cli.1.gz /usr/share/man/man1/ornix-sim.1.gz \
         /usr/share/doc/ornix-tester/copyright /usr/share/doc/ornix-tester/changelog.gz \
         /usr/share/doc/ornix-tester/README.md; do
    grep -qx "$f" "$OUT/files" || { cat "$OUT/files"; fail "$f is not in the package"; }
done

DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for p in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libstdc++6 libc6; do
    echo "$DEPENDS" | grep -q "$p" || fail "Depends lacks $p: $DEPENDS"
done

dpkg-deb -x "$DEB" "$OUT/root"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$OUT/root/usr/share/applications/ru.ornix.tester.desktop" || fail "desktop entry is not valid"
else
    echo "check-package: desktop-file-validate not installed, entry not validated"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$OUT/root/usr/share/metainfo/ru.ornix.tester.metainfo.xml" >/dev/null ||
        fail "AppStream metainfo is not valid"
fi
"$OUT/root/usr/bin/ornix-tester" --version | grep -q '^ornix-tester [0-9]' || fail "installed ornix-tester --version"
"$OUT/root/usr/bin/ornix-sim" --version | grep -q '^ornix-sim [0-9]' || fail "installed ornix-sim --version"
"$OUT/root/usr/bin/ornix-cli" --version | grep -q '^ornix-cli [0-9]' || fail "installed ornix-cli --version"
for p in ornix-tester ornix-cli ornix-sim; do
    zcat "$OUT/root/usr/share/man/man1/$p.1.gz" | sed 's/\\-/-/g' >"$OUT/$p.man"
    for option in $(QT_QPA_PLATFORM=offscreen "$OUT/root/usr/bin/$p" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -- "$option" "$OUT/$p.man" || fail "$p's manual page lacks $option of its --help"
    done
done
if command -v lintian >/dev/null; then
    lintian --fail-on error "$DEB" >"$OUT/lintian.log" 2>&1 || { cat "$OUT/lintian.log"; fail "lintian found errors"; }
else
    echo "check-package: lintian not installed, package not linted"
fi
echo "check-package: $(basename "$DEB") is sound"
