#!/usr/bin/env bash
# Installs what is missing, builds and starts Quillmere: the window when a display is there,
# otherwise one unattended scan ("-scan").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/quillmere
else
  exec build/bin/quillmere -scan
fi
