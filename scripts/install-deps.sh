#!/bin/sh
# Installs the Debian packages that building and testing Zarnith need, when
# they are missing. Quiet and quick when everything is already there.
# Usage: scripts/install-deps.sh [build|bench]
set -eu

PACKAGES="g++ cmake ninja-build make pkg-config python3 libssl-dev libgtest-dev googletest
libedit-dev clang libclang-rt-14-dev tmux dpkg-dev
libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-alsa"
if [ "${1:-}" = bench ]; then
  PACKAGES="$PACKAGES dash lua5.4 tcl perl valgrind"
fi

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
