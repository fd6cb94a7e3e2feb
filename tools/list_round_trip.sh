#!/usr/bin/env bash
# A list file through the real program as a user takes it, under its own Xvfb: type its path into
# "Load Name/Values From Text File", press Enter, close (SIGTERM), start again with the stored
# list, close again. Prints how long the load kept the program busy, its peak memory with the
# rows loaded, each run's exit code and peak memory, and the size of the stored list.
# Usage: tools/list_round_trip.sh LIST-FILE [build-dir]
set -uo pipefail
list=$(realpath "${1:?usage: $0 LIST-FILE [build-dir]}")
program="${2:-build}/quorvel-wedge-studio"
[ -x "$program" ] || { echo "no program at $program; run 'make build' first" >&2; exit 1; }

home=$(mktemp -d)
xvfb_pid=
finish() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$home"
}
trap finish EXIT
mkdir -p "$home/config" "$home/run"
chmod 700 "$home/run"
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null)
xvfb_pid=$!
read -r -t 10 display <&3
export DISPLAY=":$display" HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8

window() {
    for _ in $(seq 600); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
}
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null; }
start() {
    /usr/bin/time -f "%M" -o "$home/peak" "$program" &
    time_pid=$!
    sleep 0.2
    pid=$(pgrep -P "$time_pid")
}
close() {
    kill -TERM "$pid"
    wait "$time_pid"
    echo "$1 run: exit code $?, peak $(($(tail -n 1 "$home/peak") / 1024)) MB," \
        "stored $(stat -c %s "$home/config/Brakenwel.conf") bytes"
}

start
main=$(window '^Quorvel Wedge Studio Deluxe$')
sleep 0.5
xdotool mousemove --sync --window "$main" 136 186 click 1  # the load button
dialog=$(window '^Load List')
sleep 0.5
xdotool type --window "$dialog" --delay 5 "$list"
sleep 0.3
pressed=$(date +%s%N)
xdotool key Return
# Busy until the program's processor time stands still for a second.
last=; idle_since=
while :; do
    now=$(date +%s%N); used=$(cpu "$pid")
    if [ "$used" != "$last" ]; then last=$used; idle_since=$now
    elif [ $((now - idle_since)) -ge 1000000000 ]; then break; fi
    sleep 0.02
done
echo "load: busy for about $(((idle_since - pressed) / 1000000)) ms (to 10 ms)," \
    "$(awk '/VmHWM/ { print int($2 / 1024) }' "/proc/$pid/status") MB peak with the rows loaded"
close first
start
[ -n "$(window '^Quorvel Wedge Studio Deluxe$')" ] && echo "second start: window shown"
sleep 1
close second
