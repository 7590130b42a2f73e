#!/usr/bin/env bash
# Installs the Debian 12 packages a make target needs.
#   install-deps.sh programs   compiler, CMake, libpng, X11 and GL headers: the three programs
#   install-deps.sh all        the above plus the tests, the fuzzers and the benchmarks
# Does nothing when every package is present; otherwise one apt-get update and one
# install, as root or through sudo. Without either it names the missing packages and
# the command that installs them, and fails.
set -euo pipefail

programs=(
  cmake g++ make
  libpng-dev
  libx11-dev libxext-dev
  libgl-dev libopengl-dev # the GL and GLX link targets need libOpenGL.so, which only libopengl-dev has
)
checks=(
  pkg-config
  zlib1g-dev                              # the PNG tests and fuzz target write files with zlib
  libgtest-dev libbenchmark-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs # the JPEG reference decoder, cjpeg and jpegtran
  clang libclang-rt-14-dev                # libFuzzer
  libtinyobjloader-dev libosmesa6-dev     # benchmark peers
  libgl1-mesa-dri libglx-mesa0            # GLX presentation under Xvfb
  xvfb xdotool x11-apps x11-utils         # window tests: Xvfb, key presses, xwd, xprop
)

case "${1:-}" in
programs) packages=("${programs[@]}") ;;
all) packages=("${programs[@]}" "${checks[@]}") ;;
*)
  echo "usage: install-deps.sh programs|all" >&2
  exit 2
  ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: missing ${missing[*]}; as root run: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  as_root=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
if ! "${as_root[@]}" apt-get update; then
  echo "install-deps: apt-get update failed" >&2
  exit 1
fi
if ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"; then
  echo "install-deps: could not install ${missing[*]}" >&2
  exit 1
fi
