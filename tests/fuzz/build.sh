#!/bin/sh
# Builds the libFuzzer target with clang into a build folder (default build/fuzz).
# Usage: tests/fuzz/build.sh [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/fuzz}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -- -j2
