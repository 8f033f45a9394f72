#!/usr/bin/env bash
# Rescans the program's sources and forms into the English and Russian
# translation files. Existing translations are kept; texts no longer in the
# sources are dropped. Usage: tools/update-translations.sh [ts-file...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

lupdate=${LUPDATE:-}
if [[ -z $lupdate ]]; then
  for candidate in /usr/lib/qt5/bin/lupdate lupdate; do
    if command -v "$candidate" >/dev/null 2>&1; then
      lupdate=$candidate
      break
    fi
  done
fi
if [[ -z $lupdate ]]; then
  echo "lupdate not found (install qttools5-dev-tools)" >&2
  exit 1
fi

sources=()
for dir in app hostlink runner webview uilib; do
  [[ -d $dir ]] && sources+=("$dir")
done

if [[ $# -gt 0 ]]; then
  targets=("$@")
else
  targets=(resources/Language/en/ybrowserrunner.ts resources/Language/ru/ybrowserrunner.ts)
fi

# lupdate keeps the target language already named in each file.
exec "$lupdate" -silent -no-obsolete -locations none -source-language zh_CN \
  -extensions cpp,h,ui "${sources[@]}" -ts "${targets[@]}"
