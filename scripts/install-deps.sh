#!/usr/bin/env bash
# Installs exactly the Debian packages that the build, the program and the tests need and that are missing.
# Idempotent and non-interactive; apt-get update runs only when something must be installed.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # libraries
  qt6-base-dev libqt6svg6 libgl-dev libcli11-dev libavahi-client-dev nlohmann-json3-dev
  # Qt's own dialog texts in Chinese, like the panel's; lupdate and lrelease for the window's own
  qt6-translations-l10n qt6-l10n-tools
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
  # a locale with a decimal comma: the settings tests hold numbers to "." whatever the locale
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# de_DE.UTF-8 is generated once; a fresh machine has only C and POSIX.
add_comma_locale() {
  if locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then return 0; fi
  echo "install-deps: generating the de_DE.UTF-8 locale" >&2
  if ! grep -qE '^de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
  add_comma_locale
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# gpsd is a test peer started on demand; the packaged system service must not hold the sockets.
if command -v systemctl >/dev/null 2>&1; then
  $sudo systemctl disable --now gpsd.socket gpsd.service >/dev/null 2>&1 || true
fi
add_comma_locale
