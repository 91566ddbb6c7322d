#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
