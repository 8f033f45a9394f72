#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (as root).
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache dpkg-dev
  qtbase5-dev qtwebengine5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
  xvfb xauth x11-utils xdotool
  fonts-wqy-microhei
  lldb clang libclang-rt-14-dev
  imagemagick ffmpeg
  python3 openssl
)

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
