#!/usr/bin/env bash
# Takes docs/window.png: starts the real orvanacp on a private virtual X
# display at 96 dpi and grabs its window once it is mapped.
#   tools/screenshot/take_screenshot.sh [ORVANACP] [OUTPUT]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
program=${1:-$root/build/dev/bin/orvanacp}
output=${2:-$root/docs/window.png}

if [ "${ORVAN_IN_XVFB:-}" != 1 ]; then
  ORVAN_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$program" "$output"
fi

"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# Wait for the main window to be mapped, then give it a moment to paint.
mapped=0
for _ in $(seq 200); do
  kill -0 "$pid" 2>/dev/null || { echo "orvanacp ended before its window showed" >&2; exit 1; }
  if xwininfo -name OrvanACP 2>/dev/null | grep -q "IsViewable"; then mapped=1; break; fi
  sleep 0.1
done
[ "$mapped" = 1 ] || { echo "no OrvanACP window appeared" >&2; exit 1; }
sleep 1
mkdir -p "$(dirname "$output")"
timeout 30 import -window OrvanACP "$output"
identify "$output"
