#!/usr/bin/env bash
# Optimised build of every deliverable into build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_TESTS=OFF
cmake --build build/release -j "$(nproc)"
