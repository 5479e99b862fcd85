#!/usr/bin/env bash
# Builds the benchmarks (optimised, no sanitizers) and runs the ones named, or all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/install-deps.sh scripts/bench-packages.txt
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_TESTS=OFF -DKELVO_BENCH=ON
cmake --build build/bench -j "$(nproc)"
for b in $(find build/bench/bench -type f -executable -name 'bench_*' | sort); do
    if (($# == 0)) || [[ " $* " == *" $(basename "$b") "* ]]; then
        echo "== $(basename "$b")"; "$b"
    fi
done
