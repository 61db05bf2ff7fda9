#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail

packages=(cmake ninja-build g++ make python3 libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
          clang libclang-rt-14-dev clang-format
          qt6-base-dev qt6-svg-dev libqcustomplot-dev libqcustomplot2.1-qt6 libgl-dev fonts-dejavu-core
          xvfb xauth xdotool imagemagick
          dpkg-dev file)  # the Debian package: dpkg-shlibdeps computes its Depends
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Missing packages (${missing[*]}); run as root or install them." >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
