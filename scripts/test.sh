#!/usr/bin/env bash
# Builds the release and the sanitizer flavours from scratch and runs every test in both, then
# the tests that start a second thread under ThreadSanitizer. Tests labelled "timed" drive the
# real program over pipes and wait for its answers: they run on their own after the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
run() { ctest --test-dir "build/$1" --output-on-failure --timeout 900 "${@:2}"; }
for flavour in release sanitize; do
  rm -rf "build/$flavour"
  bash scripts/build.sh "$flavour"
  echo "== tests: $flavour"
  run "$flavour" -j "$jobs" -LE timed
  run "$flavour" -L timed
done

rm -rf build/tsan
bash scripts/build.sh tsan
echo "== tests: tsan (two threads)"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
run tsan -j "$jobs" -L threads
run tsan -L timed
