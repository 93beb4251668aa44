#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Does nothing when they are all present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git ccache
  libgtkmm-4.0-dev libwebkitgtk-6.0-dev libsoup-3.0-dev nlohmann-json3-dev libxcb1-dev libarchive-dev
  libgtest-dev googletest
  xvfb xauth imagemagick dbus-daemon xdotool
  adwaita-icon-theme fonts-dejavu-core
  python3
  gettext desktop-file-utils appstream librsvg2-bin file dpkg-dev iproute2 util-linux
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    SUDO=sudo
  else
    echo "Quillbay needs these packages: ${missing[*]}" >&2
    echo "Install them with:  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
