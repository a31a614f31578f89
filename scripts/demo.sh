#!/usr/bin/env bash
# The demo: the simulator (status site behind the local proxy, and the patent office's Open Data
# Portal over HTTPS with a test CA made here) and a local SMTP server on loopback. The same office
# runs twice on each status source: first the status site through the proxy, as the program
# always has (an unattended import and update, the simulated date moved on, a second run), then
# the Open Data Portal with an API key. Each run's e-mails and request count are printed, and at
# the end the open deadlines each source's docket holds. A third configuration of the office
# takes its mail as a digest (MailMode=digest) and is shown one digest and one deadline reminder.
# The simulator also plays the publisher, serving a rules release signed with a key made here.
set -euo pipefail
build=${1:-build}
root="$PWD"
demo="$root/$build/demo"
bin="$root/$build/src/larkspire"
sim="$root/$build/tools/larkspire-sim"
key="demo-office-key"

rm -rf "$demo"
mkdir -p "$demo/log/Larkspire" "$demo/reports" "$demo/mail" "$demo/publisher" \
  "$demo/odp/log/Larkspire" "$demo/odp/reports" "$demo/digest/log/Larkspire" \
  "$demo/digest/reports"

# The digest office's third run happens two days on (faketime), when one more application, filed
# in the simulator's data for the program's present, has a non-final rejection whose reply falls
# due on a weekday $reminder_days or a few more days later: its reminder is due that day.
run3_day=$(date -d "+2 days" +%F)
reminder_days=10
while [ "$(date -d "$run3_day +$reminder_days days" +%u)" -gt 5 ]; do
  reminder_days=$((reminder_days + 1))
done
rejection_day=$(date -d "$run3_day +$reminder_days days -3 months" +%F)
cp "$root/tools/sim/demo-data.txt" "$demo/sim-data.txt"
cat >> "$demo/sim-data.txt" <<DATA

[application 13/500,001]
customer: 23456
filed: $(date -d "$rejection_day -1 year" +%F)
docket: CH-DEMO-REMINDER
status: $(date -d "$rejection_day -1 year" +%F) Application Undergoing Preexam Processing
status: $rejection_day Non Final Action Mailed
event: $rejection_day Mail Non-Final Rejection
DATA
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$demo}"
# The icons the installation step puts into the desktop's theme stay in the demo, as its
# shortcuts do.
export XDG_DATA_HOME="$demo/data"
unset USPTO_API_KEY

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

# Starts a server that prints "listening on 127.0.0.1:PORT" first and sets server_port. It runs
# in this shell (not in a command substitution), so the clean-up knows its process.
start_server() {
  local out=$1
  shift
  "$@" >"$out" 2>"$out.err" &
  pids+=($!)
  for _ in $(seq 100); do
    if grep -q '^listening on' "$out" 2>/dev/null; then
      server_port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$out" | head -1)
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

bash "$root/tools/sim/make-test-ca.sh" "$demo/ca" >/dev/null 2>&1
start_server "$demo/sim.out" "$sim" --port 0 --data "$demo/sim-data.txt" \
  --date 2008-06-30 --odp-port 0 --tls-cert "$demo/ca/server.pem" --tls-key "$demo/ca/server.key" \
  --odp-key "$key" --rules "$publisher/larkspire.txt"
sim_port=$server_port
for _ in $(seq 100); do grep -q '^odp listening' "$demo/sim.out" && break; sleep 0.05; done
odp_port=$(sed -n 's/^odp listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$demo/sim.out")
start_server "$demo/smtp.out" /usr/bin/python3 "$root/tools/smtp/smtp_sink.py" --out "$demo/mail"
smtp_port=$server_port

# One office, two configurations: its logging directory and source apart.
write_settings() {
  local file=$1 dir=$2; shift 2
  cat > "$file" <<INI
[General]
Install=$root/$build/src
ShortcutFolder=$demo/shortcuts

[Settings]
OrgName=Harrowgate Demo Office
SmtpServer=127.0.0.1:$smtp_port
ReturnAddress=docketing@office.example
NotifyAddress1=partners@office.example
NotifyAddress2=paralegals@office.example
LogDir=$dir/log
ReportDir=$dir/reports
ProxyServer=127.0.0.1:$sim_port
Timeout=30 seconds
INI
  printf '%s\n' "$@" >> "$file"
}
write_settings "$demo/settings.ini" "$demo"
write_settings "$demo/digest/settings.ini" "$demo/digest" MailMode=digest \
  "ReminderDays=$reminder_days"
write_settings "$demo/odp/settings.ini" "$demo/odp" StatusSource=ODP \
  "OdpServer=127.0.0.1:$odp_port" "CaFile=$demo/ca/ca.pem" \
  "OdpCustomerNumbers=23456, 34567, 45678"

control() {
  exec 3<>/dev/tcp/127.0.0.1/"$sim_port"
  printf 'GET /__sim/%s HTTP/1.0\r\n\r\n' "$1" >&3
  cat <&3
  exec 3<&-
}
# Requests the status site (through the proxy) has answered so far.
site_requests() { grep -c '^larkspire-sim: \(GET\|POST\) //pair\.uspto\.gov' "$demo/sim.out.err" || true; }
odp_requests() { control odp | tr -d '\r' | sed -n 's/^requests \([0-9]*\)$/\1/p'; }

mails_seen=0
print_mails() {
  local f
  for f in $(ls "$demo"/mail/*.eml 2>/dev/null | sort | tail -n +$((mails_seen + 1))); do
    echo "--- $(basename "$f"): $(grep -m1 '^Subject:' "$f" | tr -d '\r')"
    grep -E ' \((now|was)\): ' "$f" | tr -d '\r' | sed 's/^/    /' || true
    # A digest's plain-text part, as a mail reader shows it (the HTML part holds the same).
    if grep -q '^Content-Type: multipart/alternative' "$f"; then
      /usr/bin/python3 -c 'import email, email.policy, sys
# The sink writes the envelope, an empty line, then the message.
m = email.message_from_bytes(open(sys.argv[1], "rb").read().partition(b"\n\n")[2],
                             policy=email.policy.default)
for line in m.get_body(preferencelist=("plain",)).get_content().splitlines()[:30]:
    print("    " + line)' "$f"
    fi
    mails_seen=$((mails_seen + 1))
  done
}

# One unattended run; the second of each source happens "tomorrow" (faketime), so the daily
# entries are due again.
run() {
  local settings=$1 source=$2 date=$3 clock=${4:-}
  local before_site before_odp
  before_site=$(site_requests)
  control "odp?reset=1" >/dev/null
  echo
  echo "== $source: unattended run, simulated date $date${clock:+, program clock $clock}"
  if [ -n "$clock" ]; then
    LARKSPIRE_SETTINGS="$settings" USPTO_API_KEY="${5:-}" faketime -f "$clock" "$bin" -auto \
      || echo "(the run reported a failure; see the log)"
  else
    LARKSPIRE_SETTINGS="$settings" USPTO_API_KEY="${5:-}" "$bin" -auto \
      || echo "(the run reported a failure; see the log)"
  fi
  print_mails
  if [ "${source%%,*}" = "status site" ]; then
    echo "requests to the status site: $(( $(site_requests) - before_site ))"
  else
    echo "requests to the Open Data Portal: $(odp_requests)"
  fi
}

control "date?set=2008-06-30" >/dev/null
run "$demo/settings.ini" "status site" 2008-06-30
control "date?set=2009-01-15" >/dev/null
run "$demo/settings.ini" "status site" 2009-01-15 "+1d"

control "date?set=2008-06-30" >/dev/null
run "$demo/digest/settings.ini" "status site, digest" 2008-06-30
control "date?set=2009-01-15" >/dev/null
run "$demo/digest/settings.ini" "status site, digest" 2009-01-15 "+1d"
control "date?set=$run3_day" >/dev/null
run "$demo/digest/settings.ini" "status site, digest" "$run3_day" "+2d"

control "date?set=2008-06-30" >/dev/null
run "$demo/odp/settings.ini" "Open Data Portal" 2008-06-30 "" "$key"
control "date?set=2009-01-15" >/dev/null
run "$demo/odp/settings.ini" "Open Data Portal" 2009-01-15 "+1d" "$key"

# The docket each source left: printed by the program itself, which only reads it.
deadlines() {
  echo
  echo "== $1: open deadlines (larkspire -deadlines)"
  LARKSPIRE_SETTINGS="$2" "$bin" -deadlines || echo "(the deadlines could not be listed)"
}
deadlines "status site" "$demo/settings.ini"
deadlines "Open Data Portal" "$demo/odp/settings.ini"
LARKSPIRE_SETTINGS="$demo/odp/settings.ini" "$bin" -deadlines "$demo/odp/deadlines.csv" || true

echo
echo "Deadlines:   the status site shows only each application's last event, so a deadline"
echo "             opens when its event is the last one and stays open until a closing event is"
echo "             last; the Open Data Portal gives the whole history. They are an aid: the"
echo "             office action itself governs. As CSV: $demo/odp/deadlines.csv"
if [ -f "$demo/log/Larkspire/rules.txt.manifest" ]; then
  echo "Rules:       the signed release $(sed -n '1s/^version: //p' "$demo/log/Larkspire/rules.txt" | tr -d '\r') was taken and kept with its"
  echo "             manifest in $demo/log/Larkspire/"
else
  echo "Rules:       the signed release was not taken (see the log)"
fi
echo "The Open Data Portal holds only published or patented applications, and serves no"
echo "Location or patent term extension: those fields stay empty on that source."
echo "HTML report: $demo/reports/Larkspire.html and $demo/odp/reports/Larkspire.html"
echo "XML export:  $demo/reports/Larkspire.xml and $demo/odp/reports/Larkspire.xml"
echo "Digest:      the office's third configuration ($demo/digest/settings.ini) has"
echo "             MailMode=digest: each run mails one digest of its changes, failures and new"
echo "             entries with the deadlines of the next 14 days, and the reminders as before."
echo "Logs:        $demo/log/Larkspire.log and $demo/odp/log/Larkspire.log"
