#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Vorkan needs.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev fonts-dejavu-core fonts-dejavu-extra
  zlib1g-dev libjpeg62-turbo-dev libstb-dev
  libmount-dev libblkid-dev liburing-dev
  libcli11-dev libgtest-dev libgmock-dev nlohmann-json3-dev
  fuse3 libfuse3-dev
  clang libclang-rt-14-dev
  util-linux procps time fio e2fsprogs
  xvfb xdotool imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
