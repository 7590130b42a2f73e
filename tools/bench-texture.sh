#!/usr/bin/env bash
# The texture's share of a kzoWrite run and the run's peak memory:
#   tools/bench-texture.sh [BUILD] [SIDE] [RUNS]
# kzoWrite converts a one-triangle OBJ with a SIDE x SIDE texture (the
# photo-like picture of bench/jpeg_bench, cjpeg -quality 90: baseline 4:2:0)
# and with a 1 x 1 one (4:4:4), RUNS times each. Printed: medians of the CPU time
# (user + system) and of the wall time for both, their difference (the
# texture's share of the run), and the peak resident set of each run
# (/usr/bin/time). Compare the share with BM_Kzo/420_SIDE of jpeg_bench.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
side=${2:-4096}
runs=${3:-9}
work=$(mktemp -d "${TMPDIR:-/tmp}/kzo-bench-texture.XXXXXX")
trap 'rm -rf "$work"' EXIT

cat > "$work/picture.cpp" <<'CPP'
#include <cstdlib>
#include <fstream>
#include "tests/support/JpegReference.hpp"
int main(int, char** argv)
{
    const int side = std::atoi(argv[1]);
    const auto ppm = portablePixmap(side, side, 3, photoPixels(side, side, 3, 2024));
    std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char*>(ppm.data()), std::streamsize(ppm.size()));
}
CPP
g++ -std=c++20 -O2 -I"$top" -o "$work/picture" "$work/picture.cpp" "$top/tests/support/JpegReference.cpp" -ljpeg
cd "$work"
./picture "$side" big.ppm
./picture 1 small.ppm
cjpeg -quality 90 -outfile big.jpg big.ppm
cjpeg -quality 90 -sample 1x1 -outfile small.jpg small.ppm # 4:2:0 chroma of one pixel is refused
rm big.ppm small.ppm
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n' > triangle.obj

# One line per run: wall seconds, CPU seconds, peak resident KiB.
measure() {
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S %M" -o times "$build/kzoWrite" triangle.obj "$1" >/dev/null
    awk '{ printf "%s %.3f %s\n", $1, $2 + $3, $4 }' times
  done
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

measure big.jpg > big.txt
measure small.jpg > small.txt
bigCpu=$(cut -d' ' -f2 big.txt | median); smallCpu=$(cut -d' ' -f2 small.txt | median)
bigWall=$(cut -d' ' -f1 big.txt | median); smallWall=$(cut -d' ' -f1 small.txt | median)
bigPeak=$(cut -d' ' -f3 big.txt | sort -n | tail -1); smallPeak=$(cut -d' ' -f3 small.txt | sort -n | tail -1)
picture=$((side * side * 4 / 1024))
echo "kzoWrite, ${side}x${side} texture ($(stat -c %s big.jpg) bytes), $runs runs each, medians:"
echo "  CPU  s: texture $bigCpu, 1x1 $smallCpu, share $(awk "BEGIN { print $bigCpu - $smallCpu }")"
echo "  wall s: texture $bigWall, 1x1 $smallWall, share $(awk "BEGIN { print $bigWall - $smallWall }")"
echo "  peak resident KiB: texture $bigPeak, 1x1 $smallPeak; picture $picture KiB," \
     "peak = picture + $(awk "BEGIN { printf \"%.1f\", ($bigPeak - $picture) * 100 / $picture }") %"
