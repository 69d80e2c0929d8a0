#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12
# machine. Run as root (or through sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  cmake g++ make pkg-config git clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libassimp-dev zlib1g-dev libcli11-dev nlohmann-json3-dev
  clang-14 libclang-rt-14-dev
)
# The 32-bit Windows leg runs its tests under 32-bit Wine: i386 packages.
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends "${packages[@]}"
# The MinGW-w64 cross compiler for 32-bit Windows and Wine to run its
# programs (with Wine's recommended libraries, as on the CI machines).
apt-get install -y -q g++-mingw-w64-i686 wine wine32:i386
