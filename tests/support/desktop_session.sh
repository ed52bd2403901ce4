#!/bin/sh
# Runs a test program on a real Wayland compositor (weston, headless) and a private session bus:
#   desktop_session.sh QT_PLATFORM_PLUGIN_DIR PROGRAM [ARGS...]
# Ends with 77 (skipped, with the reason on stderr) when weston, dbus-run-session or Qt's
# Wayland plugin is missing, or weston cannot start here.
set -u
plugins=$1
shift
skip() {
    echo "SKIP: $*" >&2
    exit 77
}
if [ -z "${VELMORA_IN_DESKTOP_SESSION:-}" ]; then
    command -v weston >/dev/null 2>&1 || skip "weston is not installed (Debian package weston)"
    command -v dbus-run-session >/dev/null 2>&1 || skip "dbus-run-session is not installed (package dbus-daemon)"
    ls "$plugins"/libqwayland-generic.so >/dev/null 2>&1 || skip "Qt's Wayland plugin is missing (package qt6-wayland)"
    VELMORA_IN_DESKTOP_SESSION=1 exec dbus-run-session -- "$0" "$plugins" "$@"
fi

runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
socket=velmora-test
weston_pid=
cleanup() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT

# weston 10 (Debian 12) names its backends by file; later ones also by short name.
for backend in headless-backend.so headless; do
    weston --backend=$backend --socket=$socket --idle-time=0 --width=1280 --height=800 --no-config \
        >"$runtime/weston.log" 2>&1 &
    weston_pid=$!
    tries=0
    while [ ! -S "$runtime/$socket" ] && kill -0 "$weston_pid" 2>/dev/null && [ $tries -lt 600 ]; do
        sleep 0.05
        tries=$((tries + 1))
    done
    [ -S "$runtime/$socket" ] && break
    kill "$weston_pid" 2>/dev/null
    wait "$weston_pid" 2>/dev/null
    weston_pid=
done
if [ -z "$weston_pid" ]; then
    cat "$runtime/weston.log" >&2
    skip "weston did not start headless here"
fi

WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@"
status=$?
exit $status
