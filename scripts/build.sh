#!/usr/bin/env bash
# Optimised build of every deliverable into build/release.  KELVO_RELEASE_TESTS=ON builds the
# tests there too (scripts/test.sh runs them in this build as well as in the sanitizer build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKELVO_TESTS="${KELVO_RELEASE_TESTS:-OFF}" -UKELVO_SUBDIRS
cmake --build build/release -j "$(nproc)"
