#!/usr/bin/env bash
# Installs every package the build, the tests, the benchmarks and the fuzz targets need.
# Idempotent: packages already present are left alone; runs apt-get only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libjpeg62-turbo-dev libcli11-dev
  qt6-base-dev libqt6opengl6-dev libxcb1-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libegl-dev libegl1-mesa-dev
  xvfb xauth x11-apps x11-utils imagemagick openbox python3
  desktop-file-utils shared-mime-info dpkg-dev
  poppler-utils xclip
  assimp-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
