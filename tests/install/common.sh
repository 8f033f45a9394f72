# Shared by the install checks: a scratch folder removed on exit, a page
# served on 127.0.0.1, and a check of a saved frame's size and colour.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_DATA_HOME=$work/data
unset YBR_RUNNER

# Serves $1 on 127.0.0.1 and sets $page_url to its root.
serve() {
  python3 -u -m http.server --bind 127.0.0.1 --directory "$1" 0 >"$work/http.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/http.log")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "the page server did not start"; cat "$work/http.log"; exit 1; }
  page_url=http://127.0.0.1:$port/
}

# check_frame FILE WIDTH HEIGHT RRGGBB: the image is that size and its centre that colour.
check_frame() {
  python3 - "$@" <<'PY'
import struct, sys, zlib
path, width, height, colour = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
data = open(path, "rb").read()
if data.startswith(b"P6"):
    fields = data.split(maxsplit=4)
    w, h, pixels = int(fields[1]), int(fields[2]), fields[4]
    centre = pixels[(h // 2 * w + w // 2) * 3:][:3]
else:  # PNG, 8-bit RGBA, as the Python example writes it (filter 0 on every row)
    w, h = struct.unpack(">II", data[16:24])
    idat = b"".join(data[i + 8:i + 8 + struct.unpack(">I", data[i:i + 4])[0]]
                    for i in range(8, len(data)) if data[i + 4:i + 8] == b"IDAT")
    raw = zlib.decompress(idat)
    row = raw[(h // 2) * (w * 4 + 1) + 1:][:w * 4]
    centre = row[w // 2 * 4:][:3]
got = (w, h, centre.hex())
if got != (width, height, colour):
    sys.exit(f"{path}: {got}, expected {(width, height, colour)}")
print(f"{path}: {w}x{h}, centre #{colour}")
PY
}
