#!/usr/bin/env bash
# Converts the bundled sample and shows it: the last step of `make run` (in the
# viewer) and of `make shot` (rendered by kzoShot into sample.png).
#   run-sample.sh BUILD view|shot
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
mode=${2:?view or shot}
top=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/sample"
cd "$build/sample"
"$build/kzoWrite" "$top/assets/sample.obj" "$top/assets/sample.jpg"
case "$mode" in
view) "$build/kzoView" test.kzo ;;
shot)
  "$build/kzoShot" test.kzo sample.png
  echo "run-sample: the sample is in $build/sample/sample.png"
  ;;
*)
  echo "usage: run-sample.sh BUILD view|shot" >&2
  exit 2
  ;;
esac
