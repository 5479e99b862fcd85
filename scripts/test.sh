#!/usr/bin/env bash
# Builds and runs the whole test suite twice: with AddressSanitizer and UndefinedBehaviorSanitizer
# (build/test), and in the optimised build that scripts/run.sh makes (build/release), since a
# fault may show with only one of the two allocators.  Tests labelled "long" run in both; pass
# ctest options after the script's name to narrow the run, e.g. `bash scripts/test.sh -LE long`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVO_SANITIZE=ON -DKELVO_TESTS=ON \
      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -UKELVO_SUBDIRS
cmake --build build/test -j "$jobs"
KELVO_RELEASE_TESTS=ON bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
echo "== sanitizer build (build/test)"
ctest --test-dir build/test --output-on-failure -j "$jobs" "$@" || status=1
echo "== optimised build (build/release)"
ctest --test-dir build/release --output-on-failure -j "$jobs" "$@" || status=1
exit $status
