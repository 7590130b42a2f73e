#!/usr/bin/env bash
# Builds and runs the libFuzzer targets.
#   tools/fuzz.sh build DIR             configure and build the targets with clang into DIR
#   tools/fuzz.sh smoke DIR SECONDS     run every target for SECONDS each
#   tools/fuzz.sh run DIR TARGET SECONDS [SCRATCH]   one long run; new inputs go to SCRATCH
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
command=${1:?usage: fuzz.sh build|smoke|run DIR ...}
dir=${2:?build folder}

targets() { ls "$dir"/fuzz/*_fuzz 2>/dev/null || true; }

case "$command" in
build)
  CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKZO_FUZZ=ON -DKZO_TESTS=OFF -DKZO_BENCH=OFF
  cmake --build "$dir" -j "$(nproc)"
  ;;
smoke)
  seconds=${3:-30}
  found=0
  for target in $(targets); do
    found=1
    "$top/tools/fuzz-one.sh" "$target" "$seconds"
  done
  [[ $found -eq 1 ]] || echo "fuzz: no targets built yet"
  ;;
run)
  target=${3:?target name}
  seconds=${4:?seconds}
  "$top/tools/fuzz-one.sh" "$dir/fuzz/$target" "$seconds" "${5:-}"
  ;;
*)
  echo "fuzz.sh: unknown command $command" >&2
  exit 2
  ;;
esac
