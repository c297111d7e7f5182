#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package from a finished build, unpacks it into a scratch
# root and checks that every file lies where the desktop looks for it, that
# the files name each other consistently and that the desktop's own checkers
# accept them, lintian among them; that the programs carry Debian's
# hardening (in a hardened build) and the debug symbols lie in the -dbgsym
# package. Exit 77: skipped (the reason is printed).
#   package_test.sh BUILD_DIR APP_ID VERSION HARDENED(ON|OFF)
set -euo pipefail
build=$1 id=$2 version=$3 hardened=$4

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (install dpkg-dev to build the package)"; exit 77; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; exit 1; }
arch=$(dpkg --print-architecture)
deb="$scratch/package/reelwright_${version}_$arch.deb"
ddeb="$scratch/package/reelwright-dbgsym_${version}_$arch.ddeb"
for file in "$deb" "$ddeb"; do
  [ -f "$file" ] || { cat "$scratch/cpack.log"; echo "FAIL: no $file"; exit 1; }
done

# Dependencies found from the linked libraries, VICE only suggested.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* && $depends == *libc6* ]] || fail "Depends lacks the libraries: $depends"
[ "$(dpkg-deb -f "$deb" Suggests)" = vice ] || fail "Suggests is not vice"

root="$scratch/root"
dpkg -x "$deb" "$root"
desktop="usr/share/applications/$id.desktop"
mime="usr/share/mime/packages/$id.xml"
metainfo="usr/share/metainfo/$id.metainfo.xml"
for file in usr/bin/reelwright usr/bin/reelwright-cli; do
  [ -x "$root/$file" ] || fail "$file is missing or not executable"
done
# The command line runs on a machine without a desktop: no widget library.
if ldd "$root/usr/bin/reelwright-cli" | grep -q libQt6Widgets; then fail "reelwright-cli links Qt Widgets"; fi
icons=usr/share/icons/hicolor
for file in "$desktop" "$mime" "$metainfo" "$icons/scalable/apps/$id.svg" \
            usr/share/man/man1/reelwright-cli.1.gz usr/share/man/man1/reelwright.1.gz \
            usr/share/doc/reelwright/copyright usr/share/doc/reelwright/changelog.gz; do
  [ -s "$root/$file" ] || fail "$file is missing"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$icons/${size}x$size/apps/$id.png"
  [[ $(file -b "$root/$png" 2>&1) == "PNG image data, $size x $size,"* ]] || fail "$png is not a $size-pixel PNG"
done
[ "$failures" -eq 0 ] || exit 1

# The files name each other: the entry starts the installed program with the
# file, shows the installed icon and opens the type the MIME package declares;
# the metainfo names the entry.
entry() { sed -n "s/^$1=//p" "$root/$desktop"; }
type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$root/$mime")
[ "$(entry Exec)" = "reelwright %f" ] || fail "Exec is $(entry Exec)"
[ "$(entry Icon)" = "$id" ] || fail "Icon is $(entry Icon)"
[ "$(entry MimeType)" = "$type;" ] || fail "MimeType is $(entry MimeType), the package declares $type"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/$metainfo" || fail "the metainfo names another entry"
mime_icon=$(sed -n 's/.*<icon name="\([^"]*\)".*/\1/p' "$root/$mime")
[ -s "$root/$icons/scalable/mimetypes/$mime_icon.svg" ] || fail "the tape type's icon $mime_icon is not installed"
grep -q "<release version=\"$version\"" "$root/$metainfo" || fail "the metainfo lacks release $version"
[[ $(zcat "$root/usr/share/doc/reelwright/changelog.gz") == "reelwright ($version) "* ]] ||
  fail "the changelog's latest entry is not $version"
[ "$("$root/usr/bin/reelwright-cli" --version)" = "reelwright-cli $version" ] || fail "the installed reelwright-cli does not run"
# Without a display: a window would abort here.
gui_version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/reelwright" --version 2>&1) || true
[ "$gui_version" = "reelwright $version" ] || fail "reelwright --version printed: $gui_version"
[[ $(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/reelwright" --help) == "Usage: reelwright "* ]] ||
  fail "reelwright --help"

# Output is taken whole before it is searched: `| grep -q` stops reading at
# the first match, and pipefail would count the writer's broken pipe as a failure.

# Stripped programs whose debug information the -dbgsym package holds under
# their build ids, where a debugger looks for it.
dpkg -x "$ddeb" "$scratch/dbgsym"
# Each package's md5sums names its own files, as debsums and dpkg --verify read them.
for package in deb ddeb; do
  contents="$root"
  [ "$package" = deb ] || contents="$scratch/dbgsym"
  dpkg-deb -e "${!package}" "$scratch/control-$package"
  (cd "$contents" && md5sum --check --quiet "$scratch/control-$package/md5sums") || fail "the $package's md5sums"
done
for program in reelwright reelwright-cli; do
  id_hex=$(readelf -nW "$root/usr/bin/$program" | sed -n 's/.*Build ID: //p')
  debug="$scratch/dbgsym/usr/lib/debug/.build-id/${id_hex:0:2}/${id_hex:2}.debug"
  [ -n "$id_hex" ] && [[ $(readelf -SW "$debug" 2>/dev/null) == *.debug_info* ]] ||
    fail "$program: no debug information under its build id in the -dbgsym package"
  if [[ $(readelf -SW "$root/usr/bin/$program") == *.debug_info* ]]; then fail "$program is not stripped"; fi
done

if [ "$hardened" = ON ]; then
  for program in reelwright reelwright-cli; do
    file="$root/usr/bin/$program"
    [[ $(readelf -hW "$file") =~ Type:\ *DYN ]] || fail "$program is not position-independent"
    [[ $(readelf -lW "$file") == *GNU_RELRO* ]] || fail "$program has no read-only relocations"
    [[ $(readelf -dW "$file") =~ BIND_NOW|FLAGS_1.*NOW ]] || fail "$program is not bound at start (BIND_NOW)"
    symbols=$(readelf --dyn-syms -W "$file")
    grep -q __stack_chk_fail <<<"$symbols" || fail "$program has no stack protector"
    grep -Eq '__[a-z_]+_chk(@| )' <<<"$symbols" || fail "$program calls no fortified function"
  done
else
  echo "not a release build: hardening not checked"
fi

# The desktop's checkers, where installed (scripts/install-deps.sh installs them).
checked=()
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/$desktop" || fail "desktop-file-validate"
  checked+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
  # As users and app stores run it, reaching the URLs it names; CI has no network.
  net=()
  [ -z "${CI:-}" ] || net=(--no-net)
  appstreamcli validate "${net[@]}" "$root/$metainfo" || fail "appstreamcli validate"
  checked+=(appstreamcli)
fi
if command -v xmllint >/dev/null; then
  xmllint --noout "$root/$mime" "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "xmllint"
  checked+=(xmllint)
fi
if command -v man >/dev/null; then
  for page in reelwright-cli reelwright; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
               "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $page: $warnings"
  done
  checked+=(man)
fi
if command -v lintian >/dev/null; then
  # Errors and warnings both fail: a distribution would have to override them.
  report=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) || fail "lintian"
  grep -v 'running with root privileges' <<<"$report" || true
  checked+=(lintian)
fi
echo "checked by: ${checked[*]:-no checker installed}"
[ "$failures" -eq 0 ]
