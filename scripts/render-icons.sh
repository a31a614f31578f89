#!/usr/bin/env bash
# Renders the program icon's PNG sizes from its drawings after a change to them. The PNGs are
# committed, so the build never needs the renderer (Debian: apt-get install librsvg2-bin).
# The two smallest sizes come from a drawing with bolder, pixel-aligned lines.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 16 24; do
  rsvg-convert -w "$size" -h "$size" larkspire-small.svg -o "larkspire-$size.png"
done
for size in 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" larkspire.svg -o "larkspire-$size.png"
done
