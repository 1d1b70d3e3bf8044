#!/bin/bash
# Installs what is missing (Debian 12, as root) and builds into build/.
# Sourced by scripts/run and scripts/test.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ULVO_SANITIZE=ON builds with the sanitizers, in a folder of its own.
SANITIZE="${ULVO_SANITIZE:-OFF}"
if [ "$SANITIZE" = ON ]; then
  BUILD="${ULVO_BUILD_DIR:-$ROOT/build-asan}"
else
  BUILD="${ULVO_BUILD_DIR:-$ROOT/build}"
fi

PACKAGES=(
  build-essential cmake pkg-config gettext
  libgtk2.0-dev libglib2.0-dev libdbus-1-dev libdbus-glib-1-dev libgconf2-dev
  libgtest-dev googletest libxtst-dev
  xvfb xauth x11-utils dbus dbus-x11 gconf2 shared-mime-info
  matchbox-window-manager imagemagick fonts-dejavu-core hicolor-icon-theme
  libx11-dev xdotool libglib2.0-bin desktop-file-utils optipng
)

missing_packages() {
  local pkg
  for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      echo "$pkg"
    fi
  done
}

install_missing() {
  local missing
  missing=$(missing_packages)
  if [ -n "$missing" ]; then
    echo "Installing: $missing" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
  fi
}

build() {
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DULVO_SANITIZE="$SANITIZE" >/dev/null
  cmake --build "$BUILD" -j "$(nproc)"
}

install_missing
build
