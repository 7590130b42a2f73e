#!/usr/bin/env bash
# The README's screenshot: the bundled sample in kzoView under a private Xvfb,
# captured with xwd and written as a PNG.
#   tools/screenshot-viewer.sh [BUILD] [OUT.png]     (default build, docs/viewer.png)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
out=$(realpath -m "${2:-$top/docs/viewer.png}")
work=$(mktemp -d "${TMPDIR:-/tmp}/kzo-screenshot.XXXXXX")
viewer=
cleanup() {
  [[ -n "$viewer" ]] && kill "$viewer" 2>/dev/null || true
  "$build/tests/x11/kzo_xvfb_fixture" stop "$work/xvfb" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
"$build/tests/x11/kzo_xvfb_fixture" start "$work/xvfb" >/dev/null
export DISPLAY
DISPLAY=$(cat "$work/xvfb/display")

cd "$work"
"$build/kzoWrite" "$top/assets/sample.obj" "$top/assets/sample.jpg" >/dev/null
"$build/kzoView" test.kzo >/dev/null &
viewer=$!
window=$(timeout 30 xdotool search --sync --name '^Pelto 4\.0\.6a output window$' | head -n 1)
sleep 1 # a few frames presented
xwd -id "$window" -nobdrs -silent -out viewer.xwd
"$build/tests/x11/kzo_xwd_to_png" viewer.xwd "$out"
"$build/tests/x11/kzo_send_delete_window" "$window"
wait "$viewer"
viewer=
echo "screenshot: $out"
