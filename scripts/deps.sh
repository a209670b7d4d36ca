#!/usr/bin/env bash
# Installs what Quillmere needs to build, run and test on Debian 12 (run as root).
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
apt-get update
xargs apt-get install -y --no-install-recommends < scripts/packages.txt
