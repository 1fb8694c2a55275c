#!/usr/bin/env bash
# Makes a sample installation in a temporary folder and runs the updater on it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target updater
echo "The sample installation generator is not built yet."
