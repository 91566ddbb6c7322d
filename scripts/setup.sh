#!/usr/bin/env bash
# Installs the Debian packages the build needs (only the missing ones), then
# configures and builds into build/. Quiet and quick when nothing is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ ninja-build pkg-config qt6-base-dev libgtest-dev libgmock-dev
          libbenchmark-dev fonts-ipafont-gothic)
if [ "${1:-}" = "--test" ]; then
  packages+=(python3-pyftpdlib pure-ftpd vsftpd lftp curl iproute2 openssl util-linux)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # vsftpd's package starts a system service with local logins on port 21;
  # the tests start their own vsftpd, so keep that one off.
  if [[ " ${missing[*]} " == *" vsftpd "* ]] && command -v systemctl >/dev/null; then
    $sudo systemctl disable --now vsftpd >/dev/null 2>&1 || true
  fi
fi

# A distribution's pure-ftpd package may start a system service on port 21;
# the tests start their own servers and need that port free in their namespace only.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"
