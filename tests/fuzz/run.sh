#!/bin/sh
# Runs one fuzz target: run.sh BUILD_DIR TARGET SECONDS [libFuzzer options...]
# The corpus grows in BUILD_DIR/corpus/TARGET from the checked-in seeds and the
# golden scripts; crashes land in BUILD_DIR/artifacts/.
set -eu
build=$1 target=$2 seconds=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
corpus="$build/corpus/$target"
mkdir -p "$corpus" "$build/artifacts"
seeds="$here/../scripts"
[ -d "$here/seeds/$target" ] && seeds="$seeds $here/seeds/$target"
# The checker's own golden scripts reach the checks that the others do not.
[ "$target" = check ] && seeds="$seeds $here/../check"
max_len=4096
[ "$target" = shell ] && max_len=16384
# A failed allocation throws (and the line reports "out of memory") well
# before libFuzzer's own limits would call it a crash; libFuzzer itself needs
# about 20 MiB at once. Texts stay far smaller: the fuzz host's in-memory system
# reports little free memory, so that one input runs in well under a second.
ASAN_OPTIONS="allocator_may_return_null=1:max_allocation_size_mb=32:detect_leaks=1:${ASAN_OPTIONS:-}" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}" \
  exec "$build/tests/fuzz/${target}_fuzzer" -max_total_time="$seconds" \
    -dict="$here/zarnith.dict" -max_len="$max_len" -timeout=30 -malloc_limit_mb=512 \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 \
    "$@" "$corpus" $seeds
