#!/usr/bin/env bash
# Compares what the real Windows program did under Wine with what the replay
# tool says it must do, on the lines both can see.
#   compare.sh REPLAY_TOOL SCENARIO WINE_TRANSCRIPT [--all]
# With --all (scenarios played inside the driver on the real window) every
# line must match.
set -euo pipefail
replay=$1
scenario=$2
actual=$3
all=${4:-}

if [ ! -f "$actual" ]; then
  echo "no transcript from the Windows program: $actual (did wine.e2e run?)" >&2
  exit 1
fi

# Seen from outside the program: events, the observatory's lines, message
# boxes, the error report, the end, and the window's part of a dump (not
# Timer1's, which another process can't see, nor the tracker's variables).
visible='^(event |ignored |create |get |put |call |msgbox |error |end$|state (Text[0-9]+|Command1|sbStatusBar)\.)'
[ "$all" = "--all" ] && visible='.'
expected=$("$replay" "$scenario" | grep -E "$visible" || true)
if [ -z "$expected" ]; then
  echo "the replay of $scenario shows nothing to compare" >&2
  exit 1
fi
if ! diff -u --label "replay $scenario" --label "Windows program under Wine" \
    <(printf '%s\n' "$expected") "$actual"; then
  exit 1
fi
