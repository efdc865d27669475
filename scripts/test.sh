#!/usr/bin/env bash
# Builds the release and the sanitizer flavours from scratch and runs every test in both, then
# the tests that start the engine's worker thread under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
# The UCI sessions time the real program's answers in milliseconds: they run on their own after
# the rest, so that the other tests' load does not count against the engine.
timed='^UciSession\.'
for flavour in release sanitize; do
  rm -rf "build/$flavour"
  bash scripts/build.sh "$flavour"
  echo "== tests: $flavour"
  ctest --test-dir "build/$flavour" --output-on-failure -j "$jobs" --timeout 900 -E "$timed"
  ctest --test-dir "build/$flavour" --output-on-failure --timeout 900 -R "$timed"
done

# Tests that run two threads: the suites that create an Engine (and with it the worker
# thread), the board tables built while another thread plays, the trainer's threads, protocol
# lines written from two threads; then, on their own, the UCI sessions with the real program
# (built with the same sanitizer).
thread_tests='^(WorkerTest|ThinkTest|TimeControllerTest|ApplyMoves|BoardThreads|ProtocolLines|PVViewer|UciFront)\.|^Trainer\.(SameSeed|ThreadedStep)'
rm -rf build/tsan
bash scripts/build.sh tsan
echo "== tests: tsan (two threads)"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" --timeout 900 -R "$thread_tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build/tsan --output-on-failure --timeout 900 -R "$timed"
