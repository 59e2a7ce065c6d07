#!/usr/bin/env bash
# Installs what is missing, fetches JUCE, configures and builds Brakkle.
#   tools/build.sh [cmake targets...]     (no targets: everything)
# BRAKKLE_BUILD_DIR picks the build folder (default: build/ in the checkout).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${BRAKKLE_BUILD_DIR:-$root/build}"

juce_dir="$("$root/tools/deps.sh")"

# Let a compiler cache hit across checkouts in different folders (CI clones anew).
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=true

jobs="$(nproc 2>/dev/null || echo 2)"

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    echo "brakkle: configuring in $build_dir (the first time also builds JUCE's juceaide)" >&2
fi
cmake -S "$root" -B "$build_dir" -DBRAKKLE_JUCE_DIR="$juce_dir" ${BRAKKLE_CMAKE_ARGS:-} >/dev/null

if [ $# -eq 0 ]; then
    cmake --build "$build_dir" -j "$jobs"
else
    cmake --build "$build_dir" -j "$jobs" --target "$@"
fi
