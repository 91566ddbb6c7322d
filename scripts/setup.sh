#!/usr/bin/env bash
# Installs the Debian packages the build needs (only the missing ones), then
# configures and builds into build/. Quiet and quick when nothing is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ ninja-build pkg-config qt6-base-dev libgtest-dev libgmock-dev
          libbenchmark-dev fonts-ipafont-gothic)
if [ "${1:-}" = "--test" ]; then
  # vsftpd's own libraries: the server itself is unpacked below.
  packages+=(python3-pyftpdlib pure-ftpd lftp curl iproute2 openssl util-linux
             libwrap0 libpam-modules libcap2 libssl3)
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Debian's vsftpd and pure-ftpd packages conflict, and the tests run both:
# vsftpd is unpacked from its package beside the system, not installed.
vsftpd_dir=/opt/quillmere-test/vsftpd
if [ "${1:-}" = "--test" ] && [ ! -x "$vsftpd_dir/usr/sbin/vsftpd" ]; then
  echo "Unpacking vsftpd into $vsftpd_dir"
  work=$(mktemp -d)
  chmod 755 "$work"
  [ ${#missing[@]} -gt 0 ] || $sudo apt-get update -qq
  (cd "$work" && $sudo apt-get download -qq vsftpd >/dev/null 2>&1)
  $sudo mkdir -p "$vsftpd_dir"
  $sudo dpkg-deb -x "$work"/vsftpd_*.deb "$vsftpd_dir"
  $sudo rm -rf "$work"
fi

# A distribution's pure-ftpd package may start a system service on port 21;
# the tests start their own servers and need that port free in their namespace only.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"
