#!/usr/bin/env bash
# Builds everything and runs every test: the core suite, the offscreen GUI suite and the
# system tests (real sound server, serial ptys, Xvfb), which start what they need themselves.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc)" "$@"
