#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over every source file of the tree (tests,
# benchmarks and tools included), using the compile commands of a whole-tree build:
#   scripts/tidy.sh [build folder] [file regex]
# The build folder (default build/tidy) is configured and built here when it has no compile
# commands yet, since sources include headers that the build generates.  Each finding is
# listed once (a header's finding shows in every unit that includes it); the script fails when
# there is any; the whole output stays in <build folder>/tidy.log.  TIDY_JOBS sets the number
# of parallel clang-tidy runs (default 4).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/tidy}
files=${2:-"^$PWD/(?!build/)"}
jobs=${TIDY_JOBS:-4}
if [[ ! -f $build/compile_commands.json ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVO_TESTS=ON -DKELVO_BENCH=ON \
          -UKELVO_SUBDIRS > /dev/null
    cmake --build "$build" -j "$jobs"
fi
log=$build/tidy.log   # kept: a run stopped early still shows what it found
run-clang-tidy -p "$build" -j "$jobs" -quiet "$files" > "$log" 2>&1 || true
# A finding: "path:line:col: warning|error: text [check]".
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): ' | sort -u || true)
if [[ -n $findings ]]; then
    echo "$findings"
    echo "clang-tidy: $(wc -l <<< "$findings") findings"
    exit 1
fi
echo "clang-tidy: no findings"
