#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only when missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev fonts-dejavu-core
  mscompress
  python3 python3-aiosmtpd python3-lxml
  faketime
  clang libclang-rt-14-dev
  libssl-dev openssl libsimdjson-dev libical-dev python3-icalendar
  tinyproxy python3-trustme clang-format
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus dbus-daemon dbus-bin
  dpkg-dev fakeroot lintian appstream desktop-file-utils systemd
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
