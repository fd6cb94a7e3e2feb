#!/usr/bin/env bash
# Takes the README's screenshots of the main window and the chart window: the real program under
# its own Xvfb, with the five sample rows in a throw-away settings folder.
# Usage: tools/screenshot.sh [build-dir] [docs-dir]
set -euo pipefail
build=${1:-build}
docs=${2:-docs}
program="$build/quorvel-wedge-studio"
[ -x "$program" ] || { echo "no program at $program; run 'make build' first" >&2; exit 1; }

home=$(mktemp -d)
program_pid=
xvfb_pid=
finish() {
    [ -n "$program_pid" ] && { kill "$program_pid" 2>/dev/null; wait "$program_pid" 2>/dev/null; }
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$home"
}
trap finish EXIT
mkdir -p "$home/config" "$home/run"
chmod 700 "$home/run"
sep1=My_Separatora12
sep2=My_Separatora23
data="UK${sep1}24${sep2}US${sep1}20${sep2}Australia${sep1}8${sep2}Germany${sep1}32${sep2}France${sep1}16${sep2}"
printf '[Quorvel%%20Wedge%%20Studio%%20Deluxe]\nData=%s\n' "$data" > "$home/config/Brakenwel.conf"

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r -t 10 display <&3
export DISPLAY=":$display"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" LC_ALL=C.UTF-8 \
    "$program" &
program_pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Quorvel Wedge Studio Deluxe$' | head -n 1)
sleep 1
mkdir -p "$docs"
import -window "$window" "$docs/main-window.png"
echo "wrote $docs/main-window.png"
# "Start Generating Chart": left 120, top 6300, 7800 x 405 twips.
xdotool mousemove --window "$window" 268 434 click 1
sleep 1
chart=$(xdotool search --sync --onlyvisible --name '^Quorvel Wedge Studio Deluxe$' | grep -vx "$window" | head -n 1)
sleep 1
import -window "$chart" "$docs/chart-window.png"
echo "wrote $docs/chart-window.png"
xdotool key Escape 2>/dev/null || true
