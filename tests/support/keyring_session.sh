#!/bin/sh
# Runs a test program on a private session bus with a keyring of its own (gnome-keyring-daemon,
# its login keyring created and unlocked in a throw-away home):
#   keyring_session.sh PROGRAM [ARGS...]
# Ends with 77 (skipped, with the reason on stderr) when gnome-keyring or dbus-run-session is
# missing. The daemon ends with the bus.
set -u
skip() {
    echo "SKIP: $*" >&2
    exit 77
}
if [ -z "${VELMORA_IN_KEYRING_SESSION:-}" ]; then
    command -v gnome-keyring-daemon >/dev/null 2>&1 || skip "gnome-keyring-daemon is not installed (package gnome-keyring)"
    command -v dbus-run-session >/dev/null 2>&1 || skip "dbus-run-session is not installed (package dbus-daemon)"
    VELMORA_IN_KEYRING_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$home" "$XDG_RUNTIME_DIR"
# A password is needed for the daemon to create the login keyring (and make it the default).
printf 'velmora-test' | gnome-keyring-daemon --unlock --components=secrets >/dev/null ||
    skip "gnome-keyring-daemon did not start"
"$@"
