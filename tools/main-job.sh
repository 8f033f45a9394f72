#!/usr/bin/env bash
# Sets up, builds and runs the main job: the bundled animated demo page,
# served on 127.0.0.1, rendered off screen by the runner and taken from the
# shared-memory segment by ybrowser-host as a real host does. Leaves the
# frames and a contact sheet in out/main-job/.
set -euo pipefail
cd "$(dirname "$0")/.."
export LANG=C.UTF-8 LC_ALL=C.UTF-8
bash tools/setup.sh
bash tools/build.sh
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
export XDG_DATA_HOME=${XDG_DATA_HOME:-$PWD/out/main-job/data}
out=out/main-job
rm -rf "$out/frames"
mkdir -p "$out"
if ! xvfb-run -a -s "-screen 0 1920x1080x24" ./build/ybrowser-host \
  --serve resources/demo --url index.html --size 1280x720 \
  --frames 12 --every 250 --out "$out/frames" --sheet "$out/contact-sheet.png" --duration 60; then
  echo "main job: failed; the lines above say why" >&2
  exit 1
fi
echo "main job: frames in $out/frames, contact sheet $out/contact-sheet.png"
