#!/usr/bin/env bash
# Starts the engine: installs the build tools when missing, builds the release flavour, then
# runs build/release/tervik from the repository root, where tervik.ini and nets/ are. Build
# messages go to standard error, so that a chess GUI can use this script as its engine command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
bash scripts/build.sh release >&2
exec build/release/tervik "$@"
