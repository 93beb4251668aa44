#!/usr/bin/env bash
# Stages the resource folder R: the interpreter, the studio server and
# PAYLOAD.json, plus the desktop resources. Safe to run again at any time.
#   usage: stage_payload.sh DEST [PYTHON]
#   DEST is R (e.g. build/share/quillbay); PYTHON is the system Python 3 the
#   studio server runs on (default /usr/bin/python3), 3.11 or newer.
set -euo pipefail

dest=${1:?usage: stage_payload.sh DEST [PYTHON]}
python=${2:-/usr/bin/python3}
repo=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dest"

if ! "$python" -c 'import sys; sys.exit(0 if sys.version_info >= (3, 11) else 1)'; then
  echo "stage_payload: $python must be Python 3.11 or newer (found $("$python" --version 2>&1))" >&2
  exit 1
fi

# The interpreter R/python/bin/python3.12 is a small launcher of the system
# Python rather than a venv: a venv records absolute paths and cannot move
# with an installed or packaged copy of R, while this file works wherever R is.
# -s -S keep the user's and the system's site packages (and their .pth hooks)
# out of the server, which needs the standard library only. The shell's
# PYTHON* variables still apply (unbuffered output, no bytecode writes).
# A venv staged by an earlier version of this script is replaced.
if [ -f "$dest/python/pyvenv.cfg" ]; then rm -rf "$dest/python"; fi
mkdir -p "$dest/python/bin"
launcher=$(cat <<LAUNCHER
#!/bin/sh
# Runs the studio server on the system Python, isolated from site packages.
if [ ! -x "$python" ]; then
  echo "Quillbay needs $python (Python 3.11 or newer); install the python3 package." >&2
  exit 127
fi
exec "$python" -s -S "\$@"
LAUNCHER
)
target="$dest/python/bin/python3.12"
if [ ! -f "$target" ] || [ -L "$target" ] || [ "$(cat "$target")" != "$launcher" ]; then
  rm -f "$target"
  printf '%s\n' "$launcher" > "$target.tmp"
  chmod 0755 "$target.tmp"
  mv "$target.tmp" "$target"
fi

# The studio server and everything it ships with.
mkdir -p "$dest/shim"
cp -R "$repo/shim/." "$dest/shim/"
find "$dest/shim" -name '__pycache__' -prune -exec rm -rf {} +
# The server runs with PYTHONDONTWRITEBYTECODE, so compile it once here rather
# than at every start. Hash-checked bytecode stays valid when an install or a
# package changes the files' times.
"$python" -m compileall -q --invalidation-mode checked-hash "$dest/shim" >/dev/null

# Desktop resources (icon, .desktop, metainfo); the style sheet and UI files
# are compiled into the binary instead.
if [ -d "$repo/resources" ]; then
  cp -R "$repo/resources/icons" "$repo"/resources/*.desktop "$repo"/resources/*.metainfo.xml "$dest/"
fi

# PAYLOAD.json: the commit the payload was staged from and whether the tree was dirty.
commit=$(git -C "$repo" rev-parse HEAD 2>/dev/null || echo unknown)
if [ -n "$(git -C "$repo" status --porcelain 2>/dev/null)" ]; then dirty=true; else dirty=false; fi
payload=$(printf '{\n  "hub_commit": "%s",\n  "dirty": %s\n}\n' "$commit" "$dirty")
if [ ! -f "$dest/PAYLOAD.json" ] || [ "$(cat "$dest/PAYLOAD.json")" != "$payload" ]; then
  printf '%s\n' "$payload" > "$dest/PAYLOAD.json.tmp"
  mv "$dest/PAYLOAD.json.tmp" "$dest/PAYLOAD.json"
fi
