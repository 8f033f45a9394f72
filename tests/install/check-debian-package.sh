#!/usr/bin/env bash
# cpack makes the .deb; its dependencies name Debian's Qt packages; unpacked
# with dpkg -x into a scratch root, its ybrowser-host runs the main job on
# its own demo page.
# usage: check-debian-package.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/common.sh"
(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt5core5a libqt5gui5 libqt5network5 libqt5widgets5 libqt5webenginewidgets5 libc6; do
  [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] || { echo "no dependency on $package"; exit 1; }
done

root=$work/root
dpkg -x "$deb" "$root"
"$root/usr/bin/ybrowser-host" --serve "$root/usr/share/ybrowserrunner/demo" --url index.html --size 640x360 \
  --frames 3 --every 250 --out "$work/frames" --duration 120 </dev/null
count=$(ls "$work"/frames/*.png | wc -l)
[ "$count" -eq 3 ] || { echo "saved $count frames, expected 3"; exit 1; }
echo "main job from the package: $count frames"
