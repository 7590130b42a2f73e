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
temporary=0
if [[ -z "$scratch" ]]; then
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/kzo-fuzz.XXXXXX")
  temporary=1
fi
mkdir -p "$scratch"

name=$(basename "$target")
seeds=()
case "$name" in
  jpeg_fuzz) seeds=("$shared/jpeg") ;;
esac
[[ -d "$top/fuzz/seeds/${name%_fuzz}" ]] && seeds+=("$top/fuzz/seeds/${name%_fuzz}")

echo "fuzz: $name for ${seconds}s, new inputs in $scratch"
cd "$scratch"
status=0
"$target" "$scratch" "${seeds[@]}" -max_total_time="$seconds" -seed=1 \
  -artifact_prefix="$scratch/" -print_final_stats=1 > "$scratch.log" 2>&1 || status=$?
tail -n 25 "$scratch.log"
# A folder made here goes when the run passed; after a failure it stays, with
# the input that broke the target and the whole log beside it.
if [[ $status -eq 0 && $temporary -eq 1 ]]; then
  cd / && rm -rf "$scratch" "$scratch.log"
else
  echo "fuzz: inputs in $scratch, log in $scratch.log"
fi
exit "$status"
