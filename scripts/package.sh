#!/usr/bin/env bash
# Builds zanthrel for use into build-package/ and makes a Debian package of it
# with CPack; prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZANTHREL_TESTS=OFF -DZANTHREL_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/zanthrel_*.deb
