#!/usr/bin/env bash
# Renders the PNG sizes of the program's icon from its SVG (needs rsvg-convert, Debian package
# librsvg2-bin). The PNGs are kept in the repository, so a build never needs this; run it after
# changing data/icons/org.orvane.OrvaneFTP.svg.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" org.orvane.OrvaneFTP.svg -o "org.orvane.OrvaneFTP-$size.png"
done
