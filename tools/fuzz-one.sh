#!/usr/bin/env bash
# Runs one libFuzzer target for SECONDS: new inputs go to a fresh scratch
# folder (or SCRATCH), the seeds are read from their own folders and never written.
#   tools/fuzz-one.sh TARGET SECONDS [SCRATCH]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
shared=${KZO_SHARED_DIR:-$top/../shared}
target=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
seconds=${2:?seconds}
scratch=${3:-}
[[ -n "$scratch" ]] || scratch=$(mktemp -d "${TMPDIR:-/tmp}/kzo-fuzz.XXXXXX")
mkdir -p "$scratch"

name=$(basename "$target")
seeds=()
case "$name" in
  jpeg_fuzz) seeds=("$shared/jpeg") ;;
esac
[[ -d "$top/fuzz/seeds/${name%_fuzz}" ]] && seeds+=("$top/fuzz/seeds/${name%_fuzz}")

echo "fuzz: $name for ${seconds}s, new inputs in $scratch"
cd "$scratch"
"$target" "$scratch" "${seeds[@]}" -max_total_time="$seconds" -seed=1 \
  -artifact_prefix="$scratch/" -print_final_stats=1 2>&1 | tail -n 25
exit "${PIPESTATUS[0]}"
