#!/usr/bin/env bash
# Installs everything Pella needs to build and test, from Debian's packages only.
# Usage: scripts/install-deps.sh [--build-only]   (--build-only: what the library and the
# command-line tool need, without the front end, the tests and their reference tools)
# Idempotent: packages already present are skipped by apt-get.
set -euo pipefail

# The library and the command-line tool.
packages=(
  build-essential cmake pkg-config ccache
  libgdcm-dev libgdcm3.0
  libcharls-dev libopenjp2-7-dev libopenjp2-7 libopenjph-dev
  libjpeg62-turbo-dev libjpeg62-turbo
  libcairo2-dev fonts-dejavu-core
  libpng-dev libpng16-16
  zlib1g-dev
  libssl-dev libssl3
  libsqlite3-dev libsqlite3-0 libpq-dev libpq5
  nlohmann-json3-dev
  netbase
)
# The front end, the tests, the sanitizer builds and the reference tools they run.
test_packages=(
  clang libclang-rt-14-dev
  libgtest-dev googletest
  qtbase5-dev
  dcmtk python3-pydicom python3-numpy python3-gdcm openjph-tools libgdcm-tools
  python3-pytest python3-venv python3-pip python3-setuptools python3-wheel mypy
  postgresql
  bc time
)
[ "${1:-}" = --build-only ] || packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
