#!/usr/bin/env bash
# Installs what is missing, builds and starts Quillmere: the window when a display is there,
# otherwise one unattended scan ("-scan"), after which it says where the results are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/quillmere
fi
status=0
build/bin/quillmere -scan || status=$?
echo "Scan log, build/bin/ScanLog.log (last lines):"
tail -n 4 build/bin/ScanLog.log 2>/dev/null | sed 's/\r$//; s/^/  /' || true
database=$(sed -n 's/\r$//; s/^DatabasePath=//p' build/bin/Quillmere.ini 2>/dev/null | head -n 1)
echo "Results database: ${database:-build/bin/NetworkInfo.mdb}"
exit "$status"
