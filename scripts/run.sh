#!/usr/bin/env bash
# Installs the packages, builds and starts Quillmere: the window when a display is there,
# otherwise one unattended scan ("-scan").
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then scripts/deps.sh; else sudo scripts/deps.sh; fi
scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/quillmere
else
  exec build/bin/quillmere -scan
fi
