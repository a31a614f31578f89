#!/usr/bin/env bash
# Makes a throw-away certificate authority and a server certificate for 127.0.0.1 and localhost,
# signed by it, for the simulated Open Data Portal (larkspire-sim --tls-cert --tls-key) and the
# clients that must trust it in tests.
#
#   tools/sim/make-test-ca.sh DIR
#
# writes DIR/ca.pem (the certificate to trust), DIR/ca.key, DIR/server.pem and DIR/server.key.
# The keys are P-256 and unencrypted; the certificates hold for 30 days.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
dir=$1
mkdir -p "$dir"
config="$dir/openssl.cnf"
# A config of our own, so that the system's openssl.cnf adds nothing.
cat > "$config" <<'CONF'
[req]
distinguished_name = subject
prompt = no
[subject]
CN = unused
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CONF
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$dir/ca.key" 2>/dev/null
openssl req -new -x509 -config "$config" -extensions authority -key "$dir/ca.key" \
  -subj "/CN=Larkspire Test CA" -days 30 -out "$dir/ca.pem"
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$dir/server.key" 2>/dev/null
openssl req -new -config "$config" -key "$dir/server.key" -subj "/CN=127.0.0.1" \
  -out "$dir/server.csr"
openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
  -set_serial "0x$(openssl rand -hex 8)" -days 30 -extfile "$config" -extensions server \
  -out "$dir/server.pem" 2>/dev/null
rm -f "$dir/server.csr" "$config"
