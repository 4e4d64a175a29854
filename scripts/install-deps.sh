#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, as root. Quick when
# everything is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang-format pkg-config
  libgtest-dev libbenchmark-dev
  libopenimageio-dev openimageio-tools libcli11-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The cross compilers and Wine, which needs more than its packages on
# machines whose kernel cannot run 32-bit programs.
scripts/setup-wine.sh
