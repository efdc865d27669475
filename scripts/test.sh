#!/usr/bin/env bash
# Builds the release and the sanitizer flavours from scratch and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
for flavour in release sanitize; do
  rm -rf "build/$flavour"
  bash scripts/build.sh "$flavour"
  echo "== tests: $flavour"
  ctest --test-dir "build/$flavour" --output-on-failure -j "$jobs" --timeout 900
done
