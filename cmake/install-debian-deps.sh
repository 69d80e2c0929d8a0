#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12
# machine. Run as root (or through sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev clang-14 libclang-rt-14-dev
)
apt-get update -q
apt-get install -y -q --no-install-recommends "${packages[@]}"
