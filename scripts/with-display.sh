#!/usr/bin/env bash
# Runs a command inside a private Xvfb display with the openbox window manager, then stops both.
#   bash scripts/with-display.sh COMMAND [ARGS...]
set -euo pipefail
display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "with-display: no free display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true; wait 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# openbox runs its start-up command once it manages windows; a window mapped before that may never be
# exposed.
ready=$(mktemp -u /tmp/with-display-ready.XXXXXX)
openbox --startup "touch $ready" >/dev/null 2>&1 &
wm=$!
for _ in $(seq 1 100); do [ -e "$ready" ] && break; sleep 0.1; done
rm -f "$ready"
"$@"
