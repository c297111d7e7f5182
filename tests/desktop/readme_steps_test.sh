#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Follows the README on a fresh copy of the source tree: `bash scripts/run.sh`
# (asked for --version, so the program prints and exits), then
# `cmake --install build` (into a scratch DESTDIR) and `cd build && cpack -G DEB`.
# Then the package must be byte for byte the one the finished build makes,
# when that build is of the same type: the build path and the time of the
# build leave no trace. Exit 77: skipped (the reason is printed).
#   readme_steps_test.sh SOURCE_DIR BUILD_DIR VERSION BUILD_TYPE
set -euo pipefail
source=$1 build=$2 version=$3 build_type=$4

for tool in git cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
git -C "$source" rev-parse --git-dir >/dev/null 2>&1 || { echo "SKIP: $source is not a git checkout"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
copy="$scratch/reelwright"
mkdir "$copy"
# The tracked files and the new ones not yet committed: what a clone of this
# tree would hold, without its build folders, and as a clone dated now (-m).
(cd "$source" && git ls-files -z -co --exclude-standard | tar --null -T - -cf -) | tar -C "$copy" -xmf -
# The copy has no history; the package's time stamps come from the same commit.
SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
arch=$(dpkg --print-architecture)
step() { local log="$scratch/$1.log"; shift; "$@" >"$log" 2>&1 || { cat "$log"; echo "FAIL: $*"; exit 1; }; }

cd "$copy"
start=$SECONDS
step run env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM bash scripts/run.sh --version
[ "$(tail -n 1 "$scratch/run.log")" = "reelwright $version" ] || { cat "$scratch/run.log"; echo "FAIL: run.sh"; exit 1; }
step install env DESTDIR="$scratch/installed" cmake --install build
[ -s "$scratch/installed/usr/local/share/man/man1/reelwright-cli.1.gz" ] || { echo "FAIL: nothing installed"; exit 1; }
(cd build && step cpack cpack -G DEB)
deb="build/reelwright_${version}_$arch.deb"
[ -f "$deb" ] || { cat "$scratch/cpack.log"; echo "FAIL: no $deb"; exit 1; }
echo "the README's steps took $((SECONDS - start)) s"

if [ "$build_type" != RelWithDebInfo ]; then
  echo "the finished build is $build_type, run.sh builds RelWithDebInfo: reproducibility not compared"
  exit 0
fi
(cd "$build" && step cpack-again cpack -G DEB -B "$scratch/again")
failures=0
for package in "reelwright_${version}_$arch.deb" "reelwright-dbgsym_${version}_$arch.ddeb"; do
  if ! cmp -s "build/$package" "$scratch/again/$package"; then
    echo "FAIL: $package differs between two builds; files that differ:"
    for side in a b; do
      file="build/$package"
      [ "$side" = a ] || file="$scratch/again/$package"
      dpkg-deb -R "$file" "$scratch/$side"
    done
    diff -rq "$scratch/a" "$scratch/b" || true
    rm -rf "$scratch/a" "$scratch/b"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "two builds give the same package"
[ "$failures" -eq 0 ]
