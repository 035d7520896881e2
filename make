#!/bin/sh
# ./make TARGET...: GNU make on this tree's Makefile. A fresh Debian 12 has no make, so this
# installs it first (with scripts/install-deps, which says what it installs and asks for
# root or sudo) and then hands over. Where GNU make is installed, plain `make` is the same.
set -e
cd "$(dirname "$0")"
if [ ! -x /usr/bin/make ]; then
  echo "make: GNU make is not installed; installing it first" >&2
  scripts/install-deps make
fi
exec /usr/bin/make "$@"
