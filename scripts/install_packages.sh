#!/usr/bin/env bash
# Installs the Debian packages that building and running Quillbay need, and
# with --with-tests also what ./test needs. Does nothing when all are present.
# Prints one short line per step; apt's own output goes to a log file
# ($QUILLBAY_BUILD_DIR/apt.log, by default build/apt.log).
#   usage: install_packages.sh [--with-tests]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

# Building and running. One package a line, so that additions merge cleanly.
packages=(
  build-essential
  cmake
  pkg-config
  ccache
  libgtkmm-4.0-dev
  libwebkitgtk-6.0-dev
  libsoup-3.0-dev
  nlohmann-json3-dev
  libxcb1-dev
  libglib2.0-dev-bin
  libarchive-dev
  gettext
  librsvg2-bin
  adwaita-icon-theme
  fonts-dejavu-core
  python3
)

# The test toolchain, for ./test only.
test_packages=(
  libgtest-dev
  libgmock-dev
  googletest
  xvfb
  xauth
  weston
  imagemagick
  dbus-daemon
  xdotool
  openbox
  x11-utils
  python3-pyatspi
  at-spi2-core
  desktop-file-utils
  appstream
  file
  dpkg-dev
  iproute2
  util-linux
  procps
)

case "${1:-}" in
  "") ;;
  --with-tests) packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--with-tests]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    SUDO=(sudo)
  else
    echo "Quillbay needs these packages: ${missing[*]}" >&2
    echo "Install them with:  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=()
fi

build=${QUILLBAY_BUILD_DIR:-$repo/build}
mkdir -p "$build"
log="$build/apt.log"
echo "== $(date) installing: ${missing[*]}" >>"$log"

# Runs one apt step with its output in the log; on failure shows the log's end.
step() {
  local what=$1; shift
  echo "$what (apt output: $log)"
  if ! "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive "$@" >>"$log" 2>&1 </dev/null; then
    echo "failed: $what. The end of $log:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

echo "Missing packages (${#missing[@]}): ${missing[*]}"
started=$SECONDS
step "Updating the package lists" apt-get update
step "Installing the packages" apt-get install -y -o Dpkg::Use-Pty=0 "${missing[@]}"
echo "Packages installed in $((SECONDS - started)) s"
