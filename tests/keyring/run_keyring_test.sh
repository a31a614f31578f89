#!/bin/sh
# Runs the keyring test with a Secret Service of its own (gnome-keyring in a throw-away D-Bus
# session, a keyring unlocked with a made-up password) or with no D-Bus session at all. The
# user's own keyring and session bus are never reached: HOME and the XDG folders are the test's.
# Usage: run_keyring_test.sh present|absent TEST_PROGRAM
mode=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$XDG_RUNTIME_DIR"
if [ "$mode" = absent ]; then
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
  LARKSPIRE_KEYRING=absent "$program"
  exit
fi
for tool in dbus-run-session gnome-keyring-daemon; do
  if ! command -v $tool >/dev/null; then
    echo "SKIPPED: $tool is not installed (Debian's dbus-daemon and gnome-keyring)"
    exit 77
  fi
done
dbus-run-session -- sh -c '
  printf pw | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  daemon=$!
  # The Secret Service is there once the daemon owns its name on the bus.
  tries=0
  until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
      grep -q "boolean true"; do
    tries=$((tries + 1))
    if [ $tries -gt 300 ] || ! kill -0 $daemon 2>/dev/null; then
      echo "gnome-keyring-daemon did not take the Secret Service name"
      kill $daemon 2>/dev/null
      exit 1
    fi
    sleep 0.1
  done
  LARKSPIRE_KEYRING=present "$0"
  status=$?
  kill $daemon
  wait $daemon
  exit $status' "$program"
