#!/usr/bin/env bash
# Regenerates the bundled sample: assets/sample.obj and assets/sample.jpg
# (baseline JPEG, quality 90, from the generator's PPM). Run by hand after
# changing tools/make-sample.cpp; both outputs are committed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kzo-sample.XXXXXX")
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -Werror -ffp-contract=off -o "$work/make-sample" "$top/tools/make-sample.cpp"
mkdir -p "$top/assets"
"$work/make-sample" "$top/assets/sample.obj" "$work/sample.ppm"
cjpeg -baseline -quality 90 -outfile "$top/assets/sample.jpg" "$work/sample.ppm"
echo "make-sample: wrote assets/sample.obj and assets/sample.jpg"
