#!/usr/bin/env bash
# Installs exactly the Debian packages that the build, the program and the tests need and that are missing.
# Idempotent and non-interactive; apt-get update runs only when something must be installed.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # libraries
  qt6-base-dev libqt6svg6 libgl-dev libcli11-dev libavahi-client-dev nlohmann-json3-dev
  # Qt's own dialog texts in Chinese, like the panel's
  qt6-translations-l10n
  # the map's MBTiles files, through Qt's SQLite driver
  libqt6sql6-sqlite
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev time
  # panel fonts and the offscreen/Xvfb display for GUI tests
  fonts-noto-cjk fonts-liberation2 xvfb xauth
  # the installed program's metadata checks and the Debian package
  desktop-file-utils appstream dpkg-dev
  # black-box peers for the end-to-end tests
  gpsd gpsd-clients gpsbabel socat
  # the announcement test runs its own avahi-daemon on a private bus, inside its own namespaces
  avahi-daemon avahi-utils dbus-daemon util-linux iproute2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# gpsd is a test peer started on demand; the packaged system service must not hold the sockets.
if command -v systemctl >/dev/null 2>&1; then
  $sudo systemctl disable --now gpsd.socket gpsd.service >/dev/null 2>&1 || true
fi
