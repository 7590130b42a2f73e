#!/usr/bin/env bash
# Regenerates the PNG fuzz target's seeds in fuzz/seeds/png from the tests'
# PNG writer (needs g++ and libpng-dev). Run by hand after changing
# tools/make-png-seeds.cpp or tests/support/TestPng.cpp; the seeds are committed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kzo-png-seeds.XXXXXX")
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -Werror -ffp-contract=off -I"$top" -o "$work/make-png-seeds" \
  "$top/tools/make-png-seeds.cpp" "$top/tests/support/TestPng.cpp" -lpng
mkdir -p "$top/fuzz/seeds/png"
"$work/make-png-seeds" "$top/fuzz/seeds/png"
echo "make-png-seeds: wrote $(ls "$top/fuzz/seeds/png" | wc -l) files in fuzz/seeds/png"
