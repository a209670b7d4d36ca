#!/usr/bin/env bash
# Configures and builds Quillmere into build/ (warnings are errors).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DQUILL_WERROR=ON
cmake --build build -j"$(nproc)"
