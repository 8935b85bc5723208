#!/usr/bin/env bash
# Takes docs/window.png: starts the real orvanacp on a private virtual X
# display at 96 dpi and grabs its window once it is mapped.
#   tools/screenshot/take_screenshot.sh [ORVANACP] [OUTPUT]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
program=${1:-$root/build/qt/bin/orvanacp}
output=${2:-$root/docs/window.png}

if [ "${ORVAN_IN_XVFB:-}" != 1 ]; then
  ORVAN_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$program" "$output"
fi

"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# Wait for the main window to be mapped, then give it a moment to paint.
for _ in $(seq 100); do
  if xwininfo -name OrvanACP 2>/dev/null | grep -q "IsViewable"; then break; fi
  sleep 0.1
done
sleep 1
mkdir -p "$(dirname "$output")"
import -window OrvanACP "$output"
identify "$output"
