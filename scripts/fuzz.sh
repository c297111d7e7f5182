#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the libFuzzer targets with clang and runs each for a bounded time
# over its corpus (the composed seeds, the kept regression inputs and what
# earlier runs found). Fails on any finding; the input is left in
# build-fuzz/findings/.
#   FUZZ_SECONDS  seconds per target (default 60)
#   FUZZ_TARGETS  the targets to run (default all)
#   FUZZ_SEED     libFuzzer's random seed (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-60}
# One seed, so that a finding in CI comes back the same on a developer's machine.
seed=${FUZZ_SEED:-1}
targets=${FUZZ_TARGETS:-"fuzz_tape_parse fuzz_rename fuzz_duration fuzz_ini"}
build=${FUZZ_BUILD:-build-fuzz}

bash scripts/install-deps.sh
# clang and its runtime libraries, libFuzzer among them, only when missing.
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DREELWRIGHT_FUZZ=ON \
  -DREELWRIGHT_TESTS=OFF -DREELWRIGHT_BENCH=OFF -DREELWRIGHT_GUI=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target make_fuzz_seeds $targets

corpus="$build/corpus"
findings="$build/findings"
mkdir -p "$corpus" "$findings"
"$build/fuzz/make_fuzz_seeds" "$corpus"

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in $targets; do
  case $target in
    fuzz_tape_parse|fuzz_rename) max_len=131072 ;;
    *) max_len=4096 ;;
  esac
  seeds=("$corpus/$target")
  [ -d "fuzz/regressions/$target" ] && seeds+=("fuzz/regressions/$target")
  echo "== $target: ${seconds}s"
  if ! "$build/fuzz/$target" -seed="$seed" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
      -artifact_prefix="$findings/$target-" -print_final_stats=1 "${seeds[@]}" \
      >"$build/$target.log" 2>&1; then
    echo "FINDING in $target (input in $findings, log $build/$target.log):"
    grep -a -E "property failed|ERROR|SUMMARY|Test unit written" "$build/$target.log" | head -20
    status=1
  else
    grep -a -E "stat::number_of_executed_units|stat::new_units_added" "$build/$target.log" | tr '\n' ' '
    echo
  fi
done
exit $status
