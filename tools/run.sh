#!/usr/bin/env bash
# Builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
exec ./build/src/app/sorvantel "$@"
