#!/usr/bin/env bash
# Sets up, builds the release flavour and runs the perft benchmark over the perft suites.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh release
build/release/tervik-perft tests/data/perft/perftsuite.epd "$@"
