#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) into
# build-fuzz/ and runs each for SECONDS, one after the other, starting from
# the committed seed corpus. Prints executions and crashes per target; exits
# non-zero when any target crashed, timed out, leaked or ran out of memory.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(hostframes browserparams pagesizerule framememory)
build=${FUZZ_BUILD_DIR:-build-fuzz}
export LANG=C.UTF-8

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DYBR_WITH_WEBENGINE=OFF -DYBR_SANITIZE=address,undefined -DYBR_FUZZ=ON >/dev/null || exit 2
ninja -C "$build" "${targets[@]/#/fuzz_}" >/dev/null || { echo "fuzz build failed" >&2; exit 2; }

export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=0
printf '%-14s %8s %12s %10s %8s %8s\n' target seconds executions exec/s crashes corpus
for name in "${targets[@]}"; do
  out=$build/fuzz/run-$name
  rm -rf "$out"
  mkdir -p "$out/corpus" "$out/artifacts"
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/" \
    "$out/corpus" "tests/fuzz/corpus/$name" >"$out/log.txt" 2>&1
  status=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/log.txt" | grep -o '[0-9]*$' | tail -1)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$out/log.txt" | grep -o '[0-9]*$' | tail -1)
  crashes=$(find "$out/artifacts" -type f | wc -l)
  [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1
  corpus=$(find "$out/corpus" -type f | wc -l)
  printf '%-14s %8s %12s %10s %8s %8s\n' "$name" "$seconds" "${execs:-?}" "${rate:-?}" "$crashes" "$corpus"
  if [ "$crashes" -ne 0 ]; then
    failed=1
    echo "  see $out/log.txt and $out/artifacts/" >&2
  fi
done
exit $failed
