#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (the
# "release" preset of CMakePresets.json).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
