#!/usr/bin/env bash
# Installs the Debian 12 packages Quillet needs to build, test and run.
# Runs apt-get as root, or through sudo when started as another user.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  libcurl4-openssl-dev libpcre2-dev libssl-dev openssl
  libcpp-httplib-dev libgtest-dev libgmock-dev libbenchmark-dev
  libtomlplusplus-dev libchafa-dev libglib2.0-dev libjpeg-dev
  qt6-base-dev libgl-dev fonts-noto-cjk fonts-wqy-zenhei xvfb xauth libxcb-cursor0 curl ca-certificates
  scdoc librsvg2-bin dpkg-dev lintian desktop-file-utils appstream man-db
  libsystemd-dev libcanberra-dev libasound2-dev dbus gettext
  libqrencode-dev zbar-tools
  chromium chromium-driver python3-selenium
  libhiredis-dev redis-server
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are installed; nothing to install"
  exit 0
fi
echo "install-deps: missing ${#missing[@]} of ${#packages[@]} packages: ${missing[*]}"

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

still=()
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || still+=("$p")
done
if [ ${#still[@]} -ne 0 ]; then
  echo "install-deps: still not installed: ${still[*]}" >&2
  exit 1
fi
echo "install-deps: installed ${missing[*]}"
