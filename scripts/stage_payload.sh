#!/usr/bin/env bash
# Stages the resource folder R: the bundled interpreter, the studio server and
# PAYLOAD.json, plus the desktop resources. Safe to run again at any time.
#   usage: stage_payload.sh DEST   (DEST is R, e.g. build/share/quillbay)
set -euo pipefail

dest=${1:?usage: stage_payload.sh DEST}
repo=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dest"

# The interpreter: a venv of the host's python3 (3.11 or newer), named python3.12.
host_python=/usr/bin/python3
[ -x "$host_python" ] || host_python=$(command -v python3)
if ! "$host_python" -c 'import sys; sys.exit(0 if sys.version_info >= (3, 11) else 1)'; then
  echo "stage_payload: python3 3.11 or newer is needed (found $("$host_python" --version 2>&1))" >&2
  exit 1
fi
venv="$dest/python"
if [ ! -x "$venv/bin/python3" ] || ! "$venv/bin/python3" -c 'import sys' 2>/dev/null; then
  rm -rf "$venv"
  "$host_python" -m venv --without-pip "$venv"
fi
[ -e "$venv/bin/python3.12" ] || ln -s python3 "$venv/bin/python3.12"

# The studio server and everything it ships with.
mkdir -p "$dest/shim"
cp -R "$repo/shim/." "$dest/shim/"
find "$dest/shim" -name '__pycache__' -prune -exec rm -rf {} +
# The server runs with PYTHONDONTWRITEBYTECODE, so compile it once here rather
# than at every start.
"$venv/bin/python3" -m compileall -q "$dest/shim" >/dev/null

# Desktop resources (icon, .desktop, metainfo).
if [ -d "$repo/resources" ]; then
  cp -R "$repo/resources/." "$dest/"
fi

# PAYLOAD.json: the commit the payload was staged from and whether the tree was dirty.
commit=$(git -C "$repo" rev-parse HEAD 2>/dev/null || echo unknown)
if [ -n "$(git -C "$repo" status --porcelain 2>/dev/null)" ]; then dirty=true; else dirty=false; fi
payload=$(printf '{\n  "hub_commit": "%s",\n  "dirty": %s\n}\n' "$commit" "$dirty")
if [ ! -f "$dest/PAYLOAD.json" ] || [ "$(cat "$dest/PAYLOAD.json")" != "$payload" ]; then
  printf '%s\n' "$payload" > "$dest/PAYLOAD.json.tmp"
  mv "$dest/PAYLOAD.json.tmp" "$dest/PAYLOAD.json"
fi
