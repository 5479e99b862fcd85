#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one for a bounded time:
#   scripts/fuzz.sh <target> <seconds> [extra libFuzzer flags]
# The corpus lives in build/fuzz-corpus/<target>, seeded from any folder tests/data/**/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1; seconds=$2; shift 2
bash scripts/install-deps.sh
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_TESTS=OFF -DKELVO_FUZZ=ON \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -UKELVO_SUBDIRS >/dev/null
cmake --build build/fuzz -j "${FUZZ_JOBS:-$(nproc)}" --target "$target"
corpus=build/fuzz-corpus/$target
mkdir -p "$corpus"
mapfile -t seeds < <(find tests/data -type d -name "$target")
# CLN, behind the kernel library, keeps a start-up block that LeakSanitizer would report.
export LSAN_OPTIONS=suppressions=$PWD/tests/data/kernsrv/lsan.supp
bin=$(find build/fuzz/fuzz -type f -executable -name "$target" | head -n 1)
exec "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$@" "$corpus" "${seeds[@]}"
