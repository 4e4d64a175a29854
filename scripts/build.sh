#!/usr/bin/env bash
# The main job: installs what is missing, builds everything (native tools and
# tests, and the 32-bit Quillmarch.aex), then renders the demo preview.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
cmake --preset module >/dev/null
cmake --build --preset module

build/default/tools/quillmarch sequence out --frames 12 --direction 30 --width 40

echo
echo "Module:        $(pwd)/build/module/host/Quillmarch.aex"
echo "Preview tool:  $(pwd)/build/default/tools/quillmarch"
echo "Contact sheet: $(pwd)/out/contact-sheet.png"
echo "Animation:     $(pwd)/out/preview.gif"
