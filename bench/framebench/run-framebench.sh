#!/usr/bin/env bash
# Builds and runs framebench under Xvfb. Installs the peer (Debian's chromium)
# when missing: only the benchmark needs it, so CI never installs it.
# Usage: bench/framebench/run-framebench.sh [framebench options]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
if ! command -v chromium >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends chromium
fi
ninja -C "$build" YBrowserRunner framebench
export LANG=C.UTF-8
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}"
exec xvfb-run -a -s "-screen 0 1920x1080x24" "$build/framebench" "$@"
