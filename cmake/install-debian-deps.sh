#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12
# machine. Run as root (or through sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libassimp-dev zlib1g-dev libcli11-dev nlohmann-json3-dev
)
apt-get update -q
apt-get install -y -q --no-install-recommends "${packages[@]}"
