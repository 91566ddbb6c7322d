#!/usr/bin/env bash
# Installs the Debian packages the build needs (only the missing ones), then
# configures and builds into build/. Quiet and quick when nothing is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ ninja-build pkg-config qt6-base-dev libgtest-dev libgmock-dev
          libbenchmark-dev fonts-ipafont-gothic)
if [ "${1:-}" = "--test" ]; then
  # vsftpd's and proftpd's own libraries: the servers themselves are
  # unpacked below.
  packages+=(python3-pyftpdlib pure-ftpd lftp curl iproute2 openssl util-linux
             libwrap0 libpam-modules libcap2 libssl3 tzdata
             libhiredis0.14 libmemcached11 libmemcachedutil2 libpcre2-posix3 libidn2-0 libacl1)
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

# Debian's vsftpd, proftpd and pure-ftpd packages conflict, and the tests run
# all three: vsftpd and proftpd are unpacked from their packages beside the
# system, not installed.
unpack() { # folder name, the binary inside it, the package
  local dir=/opt/quillmere-test/$1
  [ ! -x "$dir/$2" ] || return 0
  echo "Unpacking $1 into $dir"
  local work
  work=$(mktemp -d)
  chmod 755 "$work"
  [ ${#missing[@]} -gt 0 ] || [ -n "${apt_updated:-}" ] || { $sudo apt-get update -qq; apt_updated=1; }
  (cd "$work" && $sudo apt-get download -qq "$3" >/dev/null 2>&1)
  $sudo mkdir -p "$dir"
  $sudo dpkg-deb -x "$work"/"$3"_*.deb "$dir"
  $sudo rm -rf "$work"
}
if [ "${1:-}" = "--test" ]; then
  unpack vsftpd usr/sbin/vsftpd vsftpd
  unpack proftpd usr/sbin/proftpd proftpd-core
fi

# A distribution's pure-ftpd package may start a system service on port 21;
# the tests start their own servers and need that port free in their namespace only.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"
