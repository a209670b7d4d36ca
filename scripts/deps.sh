#!/usr/bin/env bash
# Installs what Quillmere needs to build, run and test on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config \
  qt6-base-dev libgl-dev libsqlite3-dev libacl1-dev libgtest-dev libbenchmark-dev \
  acl sqlite3 iproute2 iputils-ping ca-certificates fonts-liberation
