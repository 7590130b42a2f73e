#!/usr/bin/env bash
# Converts the bundled sample and opens it in the viewer: the second half of `make run`.
set -euo pipefail
build=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
missing=()
for program in kzoWrite kzoView; do
  [[ -x "$build/$program" ]] || missing+=("$program")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "run-sample: built what exists; still missing: ${missing[*]}"
  exit 0
fi
mkdir -p "$build/sample"
cd "$build/sample"
../kzoWrite "$top/assets/sample.obj" "$top/assets/sample.jpg"
../kzoView test.kzo
