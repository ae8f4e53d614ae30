#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Velmo Plexa-T needs.
# Does nothing when everything is already present. Must run as root (or through sudo).
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # Qt 5 and the libraries the program links
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5svg5
  libqcustomplot-dev zlib1g-dev libusb-dev libhidapi-dev
  # Designer's form loader, used by the tests to prove the form opens in Designer
  qttools5-dev
  # fonts the fixed-geometry form was laid out for (Arial substitute)
  fonts-liberation fontconfig
  # running the window without a display
  xvfb xauth
  # real peers the tests talk to
  lrzsz edid-decode tftp-hpa atftp tftpd-hpa curl openssl zip unzip gzip binutils python3 iproute2
  python3-diff-match-patch
  # bench_checksums' independent CRC-16/XMODEM
  python3-crcmod
  # the EDID decoder's fuzz test (libFuzzer and the sanitizer runtimes come with clang's runtime)
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done


SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# tftpd-hpa is here only as the benchmark's reference server, started on a loopback port by the
# benchmark itself; the packaged daemon must not hold UDP port 69, which the extender update's
# own server binds.
if command -v service >/dev/null 2>&1; then
  $SUDO service tftpd-hpa stop >/dev/null 2>&1 || true
fi
if command -v systemctl >/dev/null 2>&1; then
  $SUDO systemctl disable --now tftpd-hpa >/dev/null 2>&1 || true
fi
