#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the demo and the benchmarks need.
# Runs apt-get only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  libcurl4-openssl-dev
  libbenchmark-dev zlib1g-dev
  libopencore-amrnb-dev portaudio19-dev libasound2-dev libjack-jackd2-dev
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
  xvfb xdotool imagemagick
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
