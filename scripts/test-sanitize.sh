#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan (benchmarks off) and runs the whole test suite there. Any report
# ends the test that made it with a failure, so ctest fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)
build=${SANITIZE_BUILD:-build-asan}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DREELWRIGHT_SANITIZE=ON -DREELWRIGHT_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# abort_on_error / halt_on_error: the first report kills the test program.
# Leaks are checked as well (Qt's own libraries have needed no suppression).
export ASAN_OPTIONS="abort_on_error=1:halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
