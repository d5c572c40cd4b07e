#!/bin/sh
# Fuzzes the conversion pipeline for SECONDS (default 60). New inputs go to BUILD_DIR/corpus;
# the seeds in tests/fuzz/corpus are only read. A crash leaves its input in BUILD_DIR.
# Usage: tests/fuzz/run.sh [SECONDS] [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-60}
build=${2:-$here/../../build/fuzz}
mkdir -p "$build/corpus"
build=$(cd "$build" && pwd)
"$here/build.sh" "$build"
cd "$build"
exec ./convert_text_fuzzer -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
    -dict="$here/convert_text.dict" -artifact_prefix="$build/" corpus "$here/corpus"
