#!/usr/bin/env bash
# Runs a command on a virtual X display of its own with a window manager
# (twm), as the workbench runs on a user's desktop:
#   scripts/xwm-run.sh COMMAND [ARG ...]
# The display, the manager and their files go when the command ends; its
# status is the command's.
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/xwm.XXXXXX")
server="" manager="" command=""
finish() {
  # A test may have stopped the manager for a moment (XWM_MANAGER_PID).
  [ -n "$manager" ] && kill -CONT "$manager" 2>/dev/null || true
  for pid in $command $manager $server; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
# The fonts built into the X server: no font package is needed.
printf '%s\n' RandomPlacement NoGrabServer 'TitleFont "fixed"' 'ResizeFont "fixed"' 'MenuFont "fixed"' \
  'IconFont "fixed"' 'IconManagerFont "fixed"' >"$work/twmrc"
# The server picks a free display (XWM_DISPLAY: that one) and writes its
# number once it listens.
Xvfb ${XWM_DISPLAY:+":$XWM_DISPLAY"} -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
# The manager starts once the server takes clients.
for _ in $(seq 200); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done
LC_ALL=C twm -f "$work/twmrc" 2>"$work/twm.log" &
manager=$!
# The manager is up once it has made its first windows on the root.
for _ in $(seq 200); do
  xwininfo -root -children 2>/dev/null | grep -q '^ *[1-9][0-9]* child' && break
  kill -0 "$manager" 2>/dev/null || { cat "$work/twm.log" >&2; exit 1; }
  sleep 0.05
done
# A test may stop the manager (SIGSTOP) to be a busy one that acts late.
export XWM_MANAGER_PID=$manager
# In the background, so that a TERM (a time-out) ends all three at once.
"$@" &
command=$!
wait "$command"
