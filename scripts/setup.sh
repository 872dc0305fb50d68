#!/usr/bin/env bash
# Installs the Debian packages Vorkan needs. Safe to run again: it installs only what is
# missing.
#   scripts/setup.sh           what building and running the program needs
#   scripts/setup.sh --tests   that, and what the tests, sanitizer and fuzz runs, the format
#                              check, the package build and the screenshots need
set -euo pipefail

program_packages=(
  cmake
  ninja-build
  g++
  pkg-config
  qt6-base-dev
  qt6-translations-l10n
  qt6-wayland
  fonts-dejavu-core
  fonts-dejavu-extra
  zlib1g-dev
  libssl-dev
  libjpeg62-turbo-dev
  libstb-dev
  libmount-dev
  libblkid-dev
  liburing-dev
  libcli11-dev
  libext2fs-dev
  libiso9660-dev
  libcdio-dev
  xdg-utils
)

test_packages=(
  libgtest-dev
  libgmock-dev
  nlohmann-json3-dev
  fuse3
  libfuse3-dev
  clang
  libclang-rt-14-dev
  clang-format
  util-linux
  procps
  time
  fio
  e2fsprogs
  coreutils
  openssl
  rhash
  hashdeep
  gddrescue
  xorriso
  xvfb
  openbox
  xdotool
  imagemagick
  dpkg-dev
  file
  desktop-file-utils
  appstream
  man-db
  lintian
  bash-completion
  dbus-daemon
  dbus-bin
  dbus-session-bus-common
)

packages=("${program_packages[@]}")
case ${1:-} in
  --tests) packages+=("${test_packages[@]}") ;;
  "") ;;
  *)
    echo "usage: scripts/setup.sh [--tests]" >&2
    exit 2
    ;;
esac

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
