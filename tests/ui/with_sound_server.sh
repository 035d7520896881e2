#!/usr/bin/env bash
# Runs a widget test against a sound server playing into a null sink of its own (use_sound in
# tests/common.sh): the session's server if it answers, else a private PulseAudio; skipped
# with status 77 without either.
#   with_sound_server.sh <test program> [arguments...]
set -euo pipefail
program=$(realpath "$1")
shift
source "$(dirname "$0")/../common.sh"
use_sound
"$program" "$@"
