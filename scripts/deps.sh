#!/bin/sh
# Installs the Debian 12 packages the project needs, only when some are missing, and the
# Russian locale the tests run under.
set -e
# libmodbus-dev only gives the exchange benchmark a yardstick; nothing else uses it.
# heaptrack and perf measure the window's soak and profile; help2man and lintian make and check
# the package's man pages; ser2net is the network converter the tests start; Qt Charts draws fills
# (its CMake package needs Qt's OpenGL one, which Debian keeps apart in libqt6opengl6-dev).
PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev ccache pkg-config
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libmodbus-dev
  libcli11-dev nlohmann-json3-dev
  xvfb xauth fonts-dejavu-core locales
  appstream dpkg-dev
  heaptrack linux-perf help2man lintian ser2net qt6-charts-dev libqt6opengl6-dev"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q >/dev/null
  $SUDO apt-get install -y -q --no-install-recommends $missing >/dev/null
fi
# A service laptop runs ru_RU.UTF-8 (decimal comma, dd.mm.yyyy); the tests check the tool under it.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  echo "Generating the ru_RU.UTF-8 locale"
  if [ -f /etc/locale.gen ] && grep -q '^# *ru_RU.UTF-8 UTF-8' /etc/locale.gen; then
    $SUDO sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    $SUDO locale-gen >/dev/null
  else
    $SUDO localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
  fi
fi
