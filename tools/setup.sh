#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (as root).
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache dpkg-dev
  qtbase5-dev qtwebengine5-dev libqt5websockets5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
  xvfb xauth x11-utils xdotool
  fonts-wqy-microhei
  lldb clang libclang-rt-14-dev
  imagemagick ffmpeg
  python3 openssl
)

# Node.js and npm install the real-page corpus; a node that came from elsewhere
# (with its own npm) is kept, since Debian's npm would not sit beside it.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The real-page corpus: the npm packages pinned in its lock file, and a VP8
# clip for its video page. Nothing of it is fetched while tests run.
corpus="$(cd "$(dirname "$0")/.." && pwd)/tests/realpages"
if ! cmp -s "$corpus/package-lock.json" "$corpus/node_modules/.setup-lock"; then
  echo "setup: npm ci in $corpus"
  (cd "$corpus" && npm ci --no-audit --no-fund --ignore-scripts)
  cp "$corpus/package-lock.json" "$corpus/node_modules/.setup-lock"
fi
if [ ! -s "$corpus/media/clip.webm" ]; then
  echo "setup: making $corpus/media/clip.webm"
  mkdir -p "$corpus/media"
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=480x270:rate=24:duration=20 \
    -c:v libvpx -deadline realtime -cpu-used 8 -b:v 400k -an "$corpus/media/clip.part.webm"
  mv "$corpus/media/clip.part.webm" "$corpus/media/clip.webm"
fi
