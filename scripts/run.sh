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
# The key as the program reads it (any letter case, blanks around "="); a run that left no
# settings file (one that only handed over to a running window) still says where the results are.
database=$(sed -n 's/\r$//; s/^[[:space:]]*DatabasePath[[:space:]]*=[[:space:]]*//Ip' build/bin/Quillmere.ini 2>/dev/null \
  | head -n 1 || true)
echo "Results database: ${database:-build/bin/NetworkInfo.mdb}"
exit "$status"
