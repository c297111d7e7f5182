#!/usr/bin/env bash
# Builds the Debian package from a finished build, unpacks it into a scratch
# root and checks that every file lies where the desktop looks for it, that
# the files name each other consistently and that the desktop's own checkers
# accept them. Exit 77: skipped (the reason is printed).
#   package_test.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 id=$2 version=$3

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (install dpkg-dev to build the package)"
    exit 77
  fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; exit 1; }
deb="$scratch/package/reelwright_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { cat "$scratch/cpack.log"; echo "FAIL: no $deb"; exit 1; }

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
for file in "$desktop" "$mime" "$metainfo" "usr/share/icons/hicolor/scalable/apps/$id.svg" \
            usr/share/man/man1/reelwright-cli.1.gz usr/share/man/man1/reelwright.1.gz; do
  [ -s "$root/$file" ] || fail "$file is missing"
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
grep -q "<release version=\"$version\"" "$root/$metainfo" || fail "the metainfo lacks release $version"
[ "$("$root/usr/bin/reelwright-cli" --version)" = "reelwright-cli $version" ] || fail "the installed reelwright-cli does not run"

# The desktop's checkers, where installed (scripts/install-deps.sh installs them).
checked=()
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/$desktop" || fail "desktop-file-validate"
  checked+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/$metainfo" || fail "appstreamcli validate"
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
echo "checked by: ${checked[*]:-no checker installed}"
[ "$failures" -eq 0 ]
