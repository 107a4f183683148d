#!/bin/sh
# Installs the Debian packages of the named groups when they are missing. Quiet
# and quick when everything is already there; uses sudo (as a user other than
# root) only when something has to be installed.
# Usage: scripts/install-deps.sh GROUP...
#   build    building and running the interpreter and its audio module
#   test     the test suite's tools (make test, make sanitize)
#   package  building the Debian packages (make package)
#   fuzz     clang and its fuzzing runtime (make fuzz)
#   bench    the other languages that the benchmarks time (make bench)
#   web      the browser playground: emscripten, and chromium for its test
#            (make playground, make test-web)
#   vscode   what real VS Code (code-server) and its browser need (make test-vscode)
# A new group is one more line in group_packages.
set -eu

group_packages() {
  case "$1" in
    build) echo "g++ cmake ninja-build make pkg-config python3 libssl-dev libedit-dev nlohmann-json3-dev
                 libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
                 gstreamer1.0-alsa" ;;
    test) echo "googletest libgtest-dev tmux vim neovim $(group_packages package) lintian" ;;
    package) echo "dpkg-dev file" ;;
    fuzz) echo "clang" ;;
    bench) echo "dash lua5.4 tcl perl valgrind python3-matplotlib" ;;
    web) echo "cmake ninja-build emscripten chromium" ;;
    vscode) echo "libkrb5-dev ripgrep chromium" ;;
    *) echo "install-deps.sh: unknown group '$1'" >&2; return 1 ;;
  esac
}

# The sanitizer runtime that goes with the installed clang: libclang-rt-N-dev,
# or libclang-common-N-dev on releases that do not split it out.
clang_runtime_package() {
  major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
  if apt-cache show "libclang-rt-$major-dev" >/dev/null 2>&1; then
    echo "libclang-rt-$major-dev"
  else
    echo "libclang-common-$major-dev"
  fi
}

missing_packages() {
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      printf ' %s' "$p"
    fi
  done
}

install_missing() {
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  sudo=""
  if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "install-deps.sh: missing:$missing; install them as root" >&2
      exit 1
    fi
    sudo=sudo
  fi
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

[ $# -gt 0 ] || set -- build
packages=""
for group in "$@"; do
  packages="$packages $(group_packages "$group")"
done
# shellcheck disable=SC2086
install_missing $packages
for group in "$@"; do
  if [ "$group" = fuzz ]; then
    install_missing "$(clang_runtime_package)"
  fi
done
