#!/usr/bin/env bash
# Sets up, builds and runs every test: the full build under Xvfb, then the
# parts without WebEngine again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
export LANG=C.UTF-8 LC_ALL=C.UTF-8
bash tools/setup.sh
bash tools/build.sh
(cd build && xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j1)

if [ "${SKIP_SANITIZERS:-0}" != 1 ]; then
  BUILD_DIR=build-asan BUILD_TYPE=Debug bash tools/build.sh -DYBR_WITH_WEBENGINE=OFF -DYBR_SANITIZE=address,undefined
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     LSAN_OPTIONS=suppressions=$PWD/../tools/lsan.supp \
     xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j2 -LE crash)
fi

# Every fuzz target for 30 seconds (clang, libFuzzer with ASan and UBSan).
if [ "${SKIP_FUZZ:-0}" != 1 ]; then
  bash bench/ci-fuzz.sh
fi
