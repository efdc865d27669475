#!/usr/bin/env bash
# Configures and builds one flavour: release (default), portable, sanitize or tsan, into build/NAME.
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
case "$flavour" in
  release)  flags=() ;;
  portable) flags=(-DTERVIK_PORTABLE=ON) ;;
  sanitize) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVIK_SANITIZE=ON) ;;
  tsan)     flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVIK_TSAN=ON) ;;
  *) echo "usage: $0 [release|portable|sanitize|tsan]" >&2; exit 2 ;;
esac
cmake -S . -B "build/$flavour" "${flags[@]}" >/dev/null
cmake --build "build/$flavour" -j "$(nproc)"
