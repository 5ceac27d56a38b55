#!/usr/bin/env bash
# Builds zanthrel, compiles the bundled sample folder into an Opera image and
# decompiles that image again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
out=build/sample
rm -rf "$out" && mkdir -p "$out"
./build/zanthrel compile samples "$out/sample.iso"
./build/zanthrel decompile --info -o "$out" "$out/sample.iso"
echo
echo "Image:        $out/sample.iso"
echo "Decompiled:   $out/PARCE_sample/ (block map: $out/sample.spy)"
echo "Log:          $out/sample.log (Windows-1251 text)"
