#!/usr/bin/env bash
# Builds zanthrel and runs it on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
./build/zanthrel --version
