#!/usr/bin/env bash
# Makes the records fuzzer's seeds from a records file the program itself writes (record_loop,
# a test helper, built in BUILD): the current schema with games, the older versions, a foreign
# version, rows outside the columns' domains, and an empty file. Small pages keep them small:
# the fuzzer mutates the header and the b-trees.
# Usage: fuzz/records-corpus.sh [BUILD]
set -euo pipefail
build=${1:-build}
out=$(dirname "$0")/corpus/records_fuzzer
mkdir -p "$out"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/tests/record_loop" "$scratch/keyfall.sqlite" anna 2
sqlite3 "$scratch/keyfall.sqlite" "PRAGMA journal_mode = DELETE; PRAGMA page_size = 512; VACUUM;" >/dev/null
seed() { cp "$scratch/keyfall.sqlite" "$out/$1.sqlite"; sqlite3 "$out/$1.sqlite" "$2" >/dev/null; }
seed current "SELECT 1"
seed version-2 "DROP TABLE games_set_aside; DROP TABLE game_keys_set_aside; PRAGMA user_version = 2"
seed version-1 "DROP TABLE games_set_aside; DROP TABLE game_keys_set_aside; DROP INDEX games_by_player;
  DROP INDEX games_by_level; PRAGMA user_version = 1"
seed version-minus-1 "PRAGMA user_version = -1"
seed out-of-domain "PRAGMA ignore_check_constraints = ON;
  UPDATE games SET total = 6442450944 WHERE id = 1; UPDATE games SET started_at = '' WHERE id = 2;
  UPDATE game_keys SET launched = -5 WHERE game_id = 2"
seed out-of-domain-version-2 "PRAGMA ignore_check_constraints = ON; DROP TABLE games_set_aside;
  DROP TABLE game_keys_set_aside; UPDATE games SET level = -25 WHERE id = 1; PRAGMA user_version = 2"
: >"$out/empty.sqlite"
ls -l "$out"
