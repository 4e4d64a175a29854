#!/usr/bin/env bash
# The whole test suite: native (release and sanitizers) and the 32-bit
# module under Wine. Installs and builds whatever is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in default asan module; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
