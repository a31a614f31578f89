#!/usr/bin/env bash
# The demo: the status-site simulator and a local SMTP server on loopback, a throw-away
# configuration under build/demo/, an unattended import and update, the simulated date moved
# on, a second unattended run; then the e-mails received and where the reports are. The
# simulator also plays the publisher, serving a rules release signed with a key made here.
set -euo pipefail
build=${1:-build}
root="$PWD"
demo="$root/$build/demo"
bin="$root/$build/src/larkspire"
sim="$root/$build/tools/larkspire-sim"

rm -rf "$demo"
mkdir -p "$demo/log/Larkspire" "$demo/reports" "$demo/mail" "$demo/publisher"
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
# The icons the installation step puts into the desktop's theme stay in the demo, as its
# shortcuts do.
export XDG_DATA_HOME="$demo/data"

# Every server's pid is recorded here, in the script's own shell (never inside a command
# substitution, whose subshell's array the cleanup would not see), and the cleanup stops them
# however the script ends: at its end, on an error half way, or on Ctrl+C.
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts a server that prints "listening on 127.0.0.1:PORT" first and stores the port in the
# variable named by the first argument.
start_server() {
  local var=$1 out=$2 port=
  shift 2
  "$@" >"$out" 2>"$out.err" &
  pids+=($!)
  for _ in $(seq 100); do
    port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$out" 2>/dev/null | head -1)
    if [ -n "$port" ]; then
      printf -v "$var" '%s' "$port"
      return
    fi
    sleep 0.05
  done
  echo "demo: $1 did not start" >&2
  exit 1
}

# The publisher's side: a key made for the demo and a rules release (the built-in rules one
# version on) signed with it. The program checks the publisher's manifests with the key named by
# LARKSPIRE_PUBLISHER_KEY instead of the publisher's own, which only the publisher can sign for.
publisher="$demo/publisher"
openssl genpkey -algorithm ed25519 -out "$publisher/key.pem" 2>/dev/null
openssl pkey -in "$publisher/key.pem" -pubout -out "$publisher/public.pem"
sed '1s/^version: .*$/version: 4.2.04.001\r/' "$root/resources/templates/11-rules.txt" >"$publisher/larkspire.txt"
bash "$root/tools/sign/sign-release.sh" -k "$publisher/key.pem" -t rules "$publisher/larkspire.txt" >/dev/null
export LARKSPIRE_PUBLISHER_KEY="$publisher/public.pem"

start_server sim_port "$demo/sim.out" "$sim" --port 0 --data "$root/tools/sim/demo-data.txt" --date 2008-06-30 \
  --rules "$publisher/larkspire.txt"
start_server smtp_port "$demo/smtp.out" /usr/bin/python3 "$root/tools/smtp/smtp_sink.py" --out "$demo/mail"

cat > "$demo/settings.ini" <<INI
[General]
Install=$root/$build/src
ShortcutFolder=$demo/shortcuts

[Settings]
OrgName=Harrowgate Demo Office
SmtpServer=127.0.0.1:$smtp_port
ReturnAddress=docketing@office.example
NotifyAddress1=partners@office.example
NotifyAddress2=paralegals@office.example
LogDir=$demo/log
ReportDir=$demo/reports
ProxyServer=127.0.0.1:$sim_port
Timeout=30 seconds
INI
export LARKSPIRE_SETTINGS="$demo/settings.ini"

# The second run happens "tomorrow" (faketime), so the daily entries are due again.
run() {
  echo "== unattended run, simulated date $1${2:+, program clock $2}"
  if [ -n "${2:-}" ]; then
    faketime -f "$2" "$bin" -auto || echo "(the run reported a failure; see the log)"
  else
    "$bin" -auto || echo "(the run reported a failure; see the log)"
  fi
}
set_sim_date() {
  exec 3<>/dev/tcp/127.0.0.1/"$sim_port"
  printf 'GET /__sim/date?set=%s HTTP/1.0\r\n\r\n' "$1" >&3
  cat <&3 >/dev/null
  exec 3<&-
}

run 2008-06-30
set_sim_date 2009-01-15
run 2009-01-15 "+1d"

echo
echo "== e-mails received by the local SMTP server ($demo/mail)"
for f in "$demo"/mail/*.eml; do
  [ -e "$f" ] || continue
  echo "--- $(basename "$f"): $(grep -m1 '^Subject:' "$f" | tr -d '\r')"
  grep -E ' \((now|was)\): ' "$f" | tr -d '\r' | sed 's/^/    /' || true
done
echo
if [ -f "$demo/log/Larkspire/rules.txt.manifest" ]; then
  echo "Rules:       the signed release $(sed -n '1s/^version: //p' "$demo/log/Larkspire/rules.txt" | tr -d '\r') was taken and kept with its"
  echo "             manifest in $demo/log/Larkspire/"
else
  echo "Rules:       the signed release was not taken (see the log)"
fi
echo "HTML report: $demo/reports/Larkspire.html"
echo "XML export:  $demo/reports/Larkspire.xml"
echo "Log:         $demo/log/Larkspire.log"
