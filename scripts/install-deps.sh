#!/usr/bin/env bash
# Installs every build, run and test dependency from Debian packages.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  qt6-webengine-dev libqt6webenginecore6-bin
  libcurl4-openssl-dev libmpv-dev mdbtools mdbtools-dev libglib2.0-dev
  libcpp-httplib-dev libgtest-dev libgmock-dev
  fonts-wqy-microhei xvfb xauth x11-utils imagemagick ffmpeg
  openbox xdotool wmctrl libxcb1-dev
  weston xwayland qt6-wayland  # the Wayland desktop the tests start
  qt6-translations-l10n  # Qt's own Chinese texts: dialogs, edit and web menus
  libx11-dev libxext-dev  # window shapes in device pixels on X
  libsqlite3-dev
  iproute2 clang libclang-rt-14-dev curl
  python3 binutils util-linux  # the seam check; objcopy and the namespaces of the installed-program test
  mpv  # the bare player bench/media compares against
  # live streaming servers the media tests play from
  icecast2 nginx-light python3-gi gir1.2-gst-rtsp-server-1.0
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "install-deps: these packages are missing: ${missing[*]}" >&2
      echo "install-deps: not root and no sudo; as root, run:" >&2
      echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
    SUDO=sudo
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
