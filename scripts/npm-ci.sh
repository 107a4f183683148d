#!/bin/sh
# Installs the npm packages of a folder from its committed lock file (npm ci)
# when they are missing or older than the lock file; quick otherwise.
# Usage: scripts/npm-ci.sh FOLDER
set -eu
cd "$1"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund
fi
