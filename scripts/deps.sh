#!/usr/bin/env bash
# Installs what Quillmere needs to build, run and test on Debian 12, unless it is all there
# already (then it needs neither root nor the network). Asks for sudo when not run as root.
set -euo pipefail
cd "$(dirname "$0")/.."

all_installed() {
    local status
    status=$(xargs dpkg-query -W -f='${db:Status-Status}\n' < scripts/packages.txt 2>/dev/null) || return 1
    ! grep -qvx installed <<<"$status"
}

all_installed && exit 0
if [ "$(id -u)" -ne 0 ]; then exec sudo "$0" "$@"; fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
xargs apt-get install -y --no-install-recommends < scripts/packages.txt
