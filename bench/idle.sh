#!/bin/sh
# Idle cost of the program: runs `quorvel --simulate --headless` (both virtual pads attached) on a
# private session bus with its folders in a temporary home, waits until both pads have their
# settings, then measures for a while and reports the CPU time used as a share of one core
# (utime + stime from /proc/<pid>/stat) and the peak resident memory (VmHWM).
#
#   bench/idle.sh [build folder, default build] [seconds, default 60]
set -eu

build=${1:-build}
duration=${2:-60}
program="$build/quorvel"
[ -x "$program" ] || { echo "idle.sh: $program not built (make build)" >&2; exit 1; }

tmp=$(mktemp -d)
bus_pid=""
quorvel_pid=""
cleanup() {
    [ -n "$quorvel_pid" ] && kill "$quorvel_pid" 2>/dev/null || true
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT INT TERM

cat >"$tmp/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$tmp/bus.conf" --fork --print-address=3 --print-pid=4 \
    3>"$tmp/address" 4>"$tmp/bus.pid"
bus_pid=$(cat "$tmp/bus.pid")

mkdir -p "$tmp/home" "$tmp/data"
env -u DISPLAY -u WAYLAND_DISPLAY \
    HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache" \
    XDG_CONFIG_HOME="$tmp/config" DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$tmp/address")" \
    QT_QPA_PLATFORM=offscreen \
    "$program" --simulate --headless 2>"$tmp/log" &
quorvel_pid=$!

# Both pads are up once each has written its settings; give the first frames a moment more.
waited=0
while [ "$(find "$tmp/data" -name appearance.json 2>/dev/null | wc -l)" -lt 2 ]; do
    kill -0 "$quorvel_pid" 2>/dev/null || { cat "$tmp/log" >&2; exit 1; }
    waited=$((waited + 1))
    [ "$waited" -lt 300 ] || { echo "idle.sh: pads did not come up" >&2; cat "$tmp/log" >&2; exit 1; }
    sleep 0.1
done
sleep 3

ticks() { awk '{ print $14 + $15 }' "/proc/$quorvel_pid/stat"; }
hz=$(getconf CLK_TCK)
start_ticks=$(ticks)
start_ns=$(date +%s%N)
sleep "$duration"
end_ticks=$(ticks)
end_ns=$(date +%s%N)
hwm_kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$quorvel_pid/status")
rss_kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$quorvel_pid/status")

kill -TERM "$quorvel_pid"
status=0
wait "$quorvel_pid" || status=$?
quorvel_pid=""

awk -v t="$((end_ticks - start_ticks))" -v hz="$hz" -v ns="$((end_ns - start_ns))" \
    -v hwm="$hwm_kb" -v rss="$rss_kb" -v status="$status" 'BEGIN {
    seconds = ns / 1e9
    printf "idle for %.1f s with both virtual pads attached\n", seconds
    printf "cpu: %.3f %% of one core (%d ticks at %d Hz)\n", 100 * t / hz / seconds, t, hz
    printf "memory: peak resident %.1f MB (VmHWM), now %.1f MB (VmRSS)\n", hwm / 1024, rss / 1024
    printf "exit status after SIGTERM: %d\n", status
}'
[ "$status" -eq 0 ]
