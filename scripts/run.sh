#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Quillmere.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/quillmere "$@"
