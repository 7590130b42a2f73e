#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Does nothing when all are present; otherwise one apt-get update, one install.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libbenchmark-dev
  libpng-dev zlib1g-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  clang libclang-rt-14-dev
  libtinyobjloader-dev libosmesa6-dev
  libx11-dev libxext-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  xvfb xdotool x11-apps
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if ! "${sudo[@]}" apt-get update; then
  echo "install-deps: apt-get update failed" >&2
  exit 1
fi
if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"; then
  echo "install-deps: could not install ${missing[*]}" >&2
  exit 1
fi
