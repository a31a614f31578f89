#!/usr/bin/env bash
# Signs a release file of the publisher (the rules file or the program): writes FILE.manifest
# beside it, the manifest the program checks before it takes the file (the format is described
# in src/retrieval/PublisherManifest.h). Needs bash, GNU date and the openssl command.
#
#   sign-release.sh -k KEY.pem -t rules FILE
#   sign-release.sh -k KEY.pem -t program -v VERSION FILE
#
#   -k  the publisher's Ed25519 private key in PEM (openssl genpkey -algorithm ed25519)
#   -t  rules or program
#   -v  the version: digit groups separated by points; a rules file's comes from its first
#       line ("version: ...") and -v, when given, must agree with it
#   -n  the name the file is served under (default: the file's own name)
#   -o  where to write the manifest (default: FILE.manifest)
#   -e  the last day (yyyy-mm-dd, UTC) on which the program takes a new download of the file
#       with this manifest (default: 90 days after today)
set -euo pipefail

usage() {
  sed -n '6,16p' "$0" >&2
  exit 2
}
fail() {
  echo "sign-release: $*" >&2
  exit 1
}

key="" kind="" version="" name="" out="" expires=""
while getopts "k:t:v:n:o:e:" option; do
  case "$option" in
    e) expires="$OPTARG" ;;
    k) key="$OPTARG" ;;
    t) kind="$OPTARG" ;;
    v) version="$OPTARG" ;;
    n) name="$OPTARG" ;;
    o) out="$OPTARG" ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -eq 1 ] && [ -n "$key" ] && [ -n "$kind" ] || usage
file="$1"
[ -f "$file" ] || fail "no file $file"
[ -r "$key" ] || fail "cannot read the key $key"
name="${name:-$(basename "$file")}"
out="${out:-$file.manifest}"
case "$name" in
  */* | *\\* | . | .. | "") fail "the served name '$name' must be a plain file name" ;;
esac

case "$kind" in
  rules)
    first_line="$(head -n 1 "$file")"
    [[ "$first_line" == "version: "*$'\r' ]] || fail "$file does not begin with a CR LF 'version: ' line"
    own="${first_line#version: }"
    own="${own%$'\r'}"
    [ -z "$version" ] || [ "$version" = "$own" ] || fail "-v $version, but $file says $own"
    version="$own"
    ;;
  program) [ -n "$version" ] || fail "a program needs -v VERSION" ;;
  *) fail "the kind must be rules or program, not '$kind'" ;;
esac
[[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "the version '$version' is not digit groups separated by points"

expires="${expires:-$(date -u -d '+90 days' +%Y-%m-%d)}"
[[ "$expires" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}$ ]] &&
  [ "$(date -u -d "$expires" +%Y-%m-%d 2>/dev/null)" = "$expires" ] ||
  fail "the expiry date '$expires' is not a date (yyyy-mm-dd)"
[[ ! "$expires" < "$(date -u +%Y-%m-%d)" ]] || fail "the expiry date $expires has passed"

size="$(wc -c <"$file" | tr -d ' ')"
sha256="$(openssl dgst -sha256 -r "$file" | cut -d ' ' -f 1)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf 'larkspire-manifest: 1\r\nkind: %s\r\nversion: %s\r\nfile: %s\r\nsize: %s\r\nsha256: %s\r\nexpires: %s\r\n' \
  "$kind" "$version" "$name" "$size" "$sha256" "$expires" >"$work/body"
openssl pkeyutl -sign -inkey "$key" -rawin -in "$work/body" -out "$work/signature"
# Check the signature the way the program will, with the public half of the key.
openssl pkey -in "$key" -pubout -out "$work/public.pem"
openssl pkeyutl -verify -pubin -inkey "$work/public.pem" -rawin -in "$work/body" \
  -sigfile "$work/signature" >/dev/null || fail "the new signature does not verify"

{
  cat "$work/body"
  printf 'signature: %s\r\n' "$(openssl base64 -A -in "$work/signature")"
} >"$work/manifest"
mv "$work/manifest" "$out"
echo "$out: $kind $version, $name, $size bytes, expires $expires, signed by the key with public half:"
sed -n 2p "$work/public.pem"
