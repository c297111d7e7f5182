#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Times the command line on a cached tape image as a user runs it, against
# reading the same file with cat (and extract against copying the files it
# wrote with cp), and prints the ratios and peak memory:
#   bench/commands.sh [BUILD [IMAGE]]
# Without IMAGE, one of 200 MB is joined from the real tapes beside the
# project (bench_parse joined) in a scratch folder under TMPDIR. Each figure
# is the best of ROUNDS runs (default 5): on a shared machine the best run is
# the one least disturbed.
set -euo pipefail
build=$(realpath "${1:-build}")
cli=$build/reelwright-cli
rounds=${ROUNDS:-5}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/reelwright-commands.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
image=${2:-}
if [ -z "$image" ]; then
  image=$scratch/joined.tap
  "$build/bench/bench_parse" joined "$image" 200 >/dev/null
fi
cat "$image" >/dev/null  # into the page cache

# A fresh, empty OUT folder. The last one is only moved aside: removing tens
# of thousands of files keeps some file systems busy for seconds after rm
# returns (discards, journal), which would slow the next run measured.
fresh_out() {
  if [ -e "$scratch/out" ]; then mv "$scratch/out" "$(mktemp -u "$scratch/old.XXXXXX")"; fi
  mkdir "$scratch/out"
}

# best SECONDS of ROUNDS runs of "$@" (output discarded; a fresh OUT folder each run)
best() {
  local best_ns=
  for _ in $(seq "$rounds"); do
    fresh_out
    local begin end
    begin=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    if [ -z "$best_ns" ] || [ $((end - begin)) -lt "$best_ns" ]; then best_ns=$((end - begin)); fi
  done
  echo "$best_ns"
}
# peak resident memory in MB of one run, where GNU time is installed
peak() {
  if [ -x /usr/bin/time ]; then
    fresh_out
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.0f MB", $1 / 1024}'
  else
    echo "n/a"
  fi
}
seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f s", ns / 1e9 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

size=$(stat -c %s "$image")
cat_ns=$(best cat "$image")
list_ns=$(best "$cli" list "$image")
json_ns=$(best "$cli" list --json "$image")
split_ns=$(best "$cli" split --select all "$image" "$scratch/out")
extract_ns=$(best "$cli" extract --select all "$image" "$scratch/out")
files=$(find "$scratch/out" -type f | wc -l)
# What creating extract's files costs this file system by itself: a copy of
# the folder it wrote, made by cp.
mv "$scratch/out" "$scratch/extracted"
copy_ns=$(best cp -r "$scratch/extracted" "$scratch/out/copy")

printf 'image %s, %.1f MB, best of %s runs\n' "$image" "$(awk -v s="$size" 'BEGIN { print s / 1048576 }')" "$rounds"
printf 'cat                  %s\n' "$(seconds "$cat_ns")"
printf 'list                 %s  %5s x cat          peak %s\n' "$(seconds "$list_ns")" "$(ratio "$list_ns" "$cat_ns")" \
  "$(peak "$cli" list "$image")"
printf 'list --json          %s  %5s x list         peak %s\n' "$(seconds "$json_ns")" "$(ratio "$json_ns" "$list_ns")" \
  "$(peak "$cli" list --json "$image")"
printf 'split --select all   %s                     peak %s\n' "$(seconds "$split_ns")" \
  "$(peak "$cli" split --select all "$image" "$scratch/out")"
printf 'extract --select all %s  %5s x split        peak %s (%s files)\n' "$(seconds "$extract_ns")" \
  "$(ratio "$extract_ns" "$split_ns")" "$(peak "$cli" extract --select all "$image" "$scratch/out")" "$files"
printf 'cp -r of its files   %s  %5s x extract\n' "$(seconds "$copy_ns")" "$(ratio "$copy_ns" "$extract_ns")"
