#!/usr/bin/env bash
# cmake --install into a scratch prefix; the examples built against that
# prefix (never the build tree) each save a frame of a page served here.
# usage: check-installed-package.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/common.sh"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in lib/ybrowserrunner/YBrowserRunner lib/ybrowserrunner/libybrminiengine.so \
            lib/ybrowserrunner/Language/en/ybrowserrunner.qm lib/ybrowserrunner/translations/qt_zh_CN.qm \
            bin/ybrowser-host include/ybrowserhost/ybrowserhost.h include/ybrowserhost/RunnerHost.h \
            lib/cmake/YBrowserHost/YBrowserHostConfig.cmake; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

cmake -S "$source_dir/examples" -B "$work/examples" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
grep -qx "YBrowserHost_DIR:PATH=$prefix/lib/cmake/YBrowserHost" "$work/examples/CMakeCache.txt" \
  || { echo "the examples did not find the installed package"; grep YBrowserHost_DIR "$work/examples/CMakeCache.txt"; exit 1; }
cmake --build "$work/examples" >/dev/null

mkdir "$work/site"
echo '<html><body style="margin:0;background:#3366cc"></body></html>' >"$work/site/index.html"
serve "$work/site"
"$work/examples/cpp-host" "$page_url" "$work/cpp.ppm" 640x360
check_frame "$work/cpp.ppm" 640 360 3366cc
"$work/examples/c-host" "$page_url" "$work/c.ppm" 480 270
check_frame "$work/c.ppm" 480 270 3366cc
python3 "$source_dir/examples/python-host/python_host.py" "$prefix/lib/libybrowserhost.so" "$page_url" "$work/python.png" 320 200
check_frame "$work/python.png" 320 200 3366cc
