#!/bin/sh
# Installs the Debian 12 packages the project needs, only when some are missing.
set -e
PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev ccache pkg-config
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  xvfb xauth fonts-dejavu-core"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q >/dev/null
$SUDO apt-get install -y -q --no-install-recommends $missing >/dev/null
