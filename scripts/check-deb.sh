#!/usr/bin/env bash
# Installs the Debian package in a clean Debian 12 root made with debootstrap and runs
# both programs there: the batch runner on an installed example, the window's --version
# without a display. Needs root and the network; takes minutes, so ./test.sh leaves it
# out. The root is kept in ROOT (default /tmp/tarmel-deb-root) for the next check.
# Usage: scripts/check-deb.sh [PACKAGE.deb]   (without one, scripts/make-deb.sh makes it)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(scripts/make-deb.sh | tail -n 1)}
root=${ROOT:-/tmp/tarmel-deb-root}
mirror=${MIRROR:-http://deb.debian.org/debian}

if ! command -v debootstrap > /dev/null; then
  echo "Installing debootstrap"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi
if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "Making a clean Debian 12 root in $root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.log" 2>&1 ||
    { tail -n 20 "$root.log"; exit 1; }
fi

# The package's maintainer scripts and the programs want /proc and /dev (apt's log a
# terminal in /dev/pts).
mounted=()
cleanup() { for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done; }
trap cleanup EXIT
for m in proc dev dev/pts; do
  if ! mountpoint -q "$root/$m"; then
    mount --bind "/$m" "$root/$m" && mounted+=("$root/$m")
  fi
done

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
cp "$deb" "$root/tmp/"
echo "== apt-get install ./$(basename "$deb")"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall "/tmp/$(basename "$deb")"
echo "== installed files"
in_root dpkg -L tarmel | grep -E 'bin/|TRELM|examples/|\.desktop|icons/.*tarmel'
echo "== tarmel-run on the installed houses.txt"
in_root sh -c 'rm -rf /tmp/check && mkdir /tmp/check && cd /tmp/check &&
  cp /usr/share/tarmel/examples/houses.txt . && tarmel-run houses.txt &&
  head -n 12 output.txt'
echo "== Tarmel --version"
in_root env QT_QPA_PLATFORM=offscreen Tarmel --version
