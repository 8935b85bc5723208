#!/usr/bin/env bash
# Starts of the driver that Wine refuses: tools/wine-e2e tries each again on
# a new wineserver and says so; where every try was refused, the scenario's
# transcript ends in the failure, and the next scenario is played all the
# same. Wine refuses five starts (refusing_wine): all three of the first
# scenario's, the first two of the second's.
#   refused_start.sh REPLAY_TOOL OUT_DIR FIRST.scn SECOND.scn
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
replay=$1
out=$2
first=$3
second=$4

tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvan-refused.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
REFUSING_WINE_REAL=$(command -v wine64 || command -v wine)
export REFUSING_WINE_REAL REFUSING_WINE_COUNT=$tmp/count REFUSING_WINE_REFUSALS=5
status=0
ORVAN_WINE=$here/refusing_wine "$here/../../tools/wine-e2e" --out "$out" "$first" "$second" \
  >"$tmp/out" 2>"$tmp/err" || status=$?
cat "$tmp/err" >&2

fail() { echo "refused_start: $*" >&2; exit 1; }
[ "$status" -eq 0 ] || fail "wine-e2e ended with status $status, as if it could not run at all"
[ "$(cat "$tmp/count")" -eq 5 ] || fail "Wine was asked $(cat "$tmp/count") times, not 5"
retries=$(grep -c 'Wine did not start it' "$tmp/err" || true)
[ "$retries" -eq 4 ] || fail "$retries retries told on standard error, not 4"
grep -q 'a start refused on purpose' "$tmp/err" || fail "Wine's words were not told"

# The transcript's name, as wine-e2e gives it.
name() { local p; p=$(realpath --relative-to="$here/../scenarios" "$1"); p=${p%.scn}; echo "${p//\//_}"; }
failed=$out/$(name "$first").wine
head -n1 "$failed" | grep -q '^!! wine-e2e: .*: the driver failed (exit status 1)$' ||
  fail "$failed does not begin with the failure: $(head -n1 "$failed")"
grep -qx '!!   0024:err:environ:init_peb a start refused on purpose' "$failed" ||
  fail "$failed does not tell Wine's words"
"$here/compare.sh" "$replay" "$second" "$out/$(name "$second").wine"
