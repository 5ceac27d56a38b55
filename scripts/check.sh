#!/usr/bin/env bash
# The edit-test loop: installs the packages the build needs when missing (none
# of the optional ones), then configures, builds and runs every test suite in
# build-quick/ (the "quick" preset: debug, no sanitizers, ccache when
# installed), ending on CTest's summary. No fuzzing, no package, no wine:
# scripts/test.sh is the full run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --required-only
cmake --preset quick >/dev/null
cmake --build --preset quick -j"$(nproc)"
ctest --preset quick -j"$(nproc)"
