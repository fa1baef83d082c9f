#!/bin/sh
# Builds and tests everything: host (winsim) and host-asan with all tests, a
# bounded libFuzzer run (clang), the 32-bit Windows deliverables with their
# checks, the 64-bit build under Wine and the 32-bit build under the 32-bit Wine.
# The win32 checks read the programs with the host build's peinfo, so host runs first.
set -e
cd "$(dirname "$0")/.."
for preset in host host-asan fuzz win32 win64 win32-run; do
    echo "=== $preset ==="
    cmake --workflow --preset "$preset"
done
