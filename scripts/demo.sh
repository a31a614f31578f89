#!/usr/bin/env bash
# Runs the program unattended on a throw-away setup under build/demo/.
set -euo pipefail
build=${1:-build}
demo="$PWD/$build/demo"
rm -rf "$demo"
mkdir -p "$demo/log"
cat > "$demo/settings.ini" <<INI
[Settings]
LogDir=$demo/log
ReportDir=$demo
INI
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
LARKSPIRE_SETTINGS="$demo/settings.ini" "$build/src/larkspire" -auto || true
echo "Log: $demo/log/Larkspire.log"
cat "$demo/log/Larkspire.log"
