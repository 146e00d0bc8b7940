#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, skipping
# the ones already present, so a second run costs a dpkg query and nothing more.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix
  mingw-w64-tools
  wine64
  googletest
  python3-pefile
  cmake
  ninja-build
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
