#!/usr/bin/env bash
# The display's benchmarks under a private Xvfb (1920x1080x24):
#   tools/bench-display.sh [BUILD]
# the clear + present of a 1280 x 720 frame in each video mode (display_bench),
# and frames per second of the video-mode probe in each mode on the bundled
# sample (the viewer's whole frame: clear, frame step, present) and on the
# test pattern.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
state=$(mktemp -d "${TMPDIR:-/tmp}/kzo-bench-xvfb.XXXXXX")
"$build/tests/x11/kzo_xvfb_fixture" start "$state" >/dev/null
trap '"$build/tests/x11/kzo_xvfb_fixture" stop "$state" >/dev/null; rm -rf "$state"' EXIT
export DISPLAY
DISPLAY=$(cat "$state/display")
cd "$state"

"$build/bench/display_bench" --benchmark_counters_tabular=true

"$build/kzoWrite" "$top/assets/sample.obj" "$top/assets/sample.jpg" >/dev/null
for source in test.kzo pattern; do
  echo
  echo "video-mode probe, 300 frames of $source per mode:"
  for mode in 1 2 3; do
    echo "mode $mode: $("$build/tests/x11/kzo_videomode_probe" "$mode" "$source" --frames 300 --hold 0 | tail -n 1)"
  done
done
