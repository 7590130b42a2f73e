#!/usr/bin/env bash
# Checks, before anything is installed or built, that the viewer can open a window:
# DISPLAY is set and, for a display on this machine, its X server's socket exists
# (as a file, or in the abstract namespace that a server in another container uses).
set -euo pipefail

reason=""
if [[ -z "${DISPLAY:-}" ]]; then
  reason="DISPLAY is not set"
elif [[ "$DISPLAY" =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ ]]; then
  socket=/tmp/.X11-unix/X${BASH_REMATCH[2]}
  if [[ ! -S "$socket" ]] && ! grep -qF " @$socket" /proc/net/unix 2>/dev/null; then
    reason="no X server listens at DISPLAY=$DISPLAY (no socket $socket)"
  fi
fi
[[ -z "$reason" ]] && exit 0

cat >&2 <<MSG
make run: the viewer needs an X display, and $reason.
  Run it in a desktop session or over ssh -X, or start a virtual display:
    apt-get install xvfb; Xvfb :1 -screen 0 1920x1080x24 & DISPLAY=:1 make run
  Without a window, kzoShot renders the sample into build/sample/sample.png:
    make shot
MSG
exit 1
