#!/usr/bin/env bash
# The packages: lintian passes the .deb, it installs with dpkg, its binary
# and man page work from where it put them, and it is removed again; the
# Windows zip holds zonquist.exe, the README and the license with CR LF line
# ends.
#   package_test.sh BUILD_DIR [WINDOWS_BUILD_DIR]
set -euo pipefail
build=$(realpath "$1")
windows=${2:+$(realpath "$2")}
fail() { echo "FAIL: $*"; exit 1; }
skip() {
  if [[ ${ZONQUIST_SKIP_MISSING:-0} == 1 ]]; then echo "SKIP: $*"; exit 77; fi
  fail "$* (ZONQUIST_SKIP_MISSING=1 skips this test)"
}
((EUID == 0)) || skip "installing the package with dpkg needs root"
command -v man >/dev/null || skip "man is missing: install man-db"
command -v lintian >/dev/null || skip "lintian is missing: install lintian"
dpkg-query -W zonquist >/dev/null 2>&1 && fail "a zonquist package is installed already; this test would remove it"

work=$(mktemp -d)
trap 'dpkg -r zonquist >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
deb=$(ls "$work"/zonquist_*_amd64.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
# No error and no warning. Two informational tags stay, for these reasons:
# hardening-no-fortify-functions: it is built with _FORTIFY_SOURCE=2, and
#   the calls left unfortified are those whose bounds the compiler proved;
# none other is expected.
lintian -I "$deb" >"$work/lintian" 2>&1 || true
if grep -E '^[EW]: ' "$work/lintian"; then fail "lintian: the errors and warnings above"; fi
grep '^I: ' "$work/lintian" | grep -v 'hardening-no-fortify-functions' && fail "lintian: a new informational tag above"
echo "ok: lintian: $(grep -c '^[EWI]: ' "$work/lintian") tags, none an error or warning"
dpkg -i "$deb" >/dev/null
[[ $(/usr/bin/zonquist --version) == "Talvenor Zonquist 20070118" ]] || fail "zonquist --version: $(/usr/bin/zonquist --version)"
[[ $(man -w zonquist) == /usr/share/man/man1/zonquist.1* ]] || fail "man -w zonquist: $(man -w zonquist 2>&1)"
for doc in README.md copyright changelog.gz; do
  [[ -s /usr/share/doc/zonquist/$doc ]] || fail "no $doc in /usr/share/doc/zonquist"
done
dpkg -r zonquist >/dev/null
[[ ! -e /usr/bin/zonquist ]] || fail "dpkg -r left /usr/bin/zonquist"
echo "ok: the .deb installs, answers --version, has its man page, and is removed"

if [[ -n $windows ]]; then
  cpack --config "$windows/CPackConfig.cmake" -B "$work/windows" >/dev/null
  zip=$(ls "$work"/windows/zonquist-*-win64.zip)
  echo "package: $(basename "$zip"), $(stat -c %s "$zip") bytes"
  mkdir "$work/unzipped"
  (cd "$work/unzipped" && cmake -E tar xf "$zip")
  [[ $(ls "$work/unzipped" | tr '\n' ' ') == "LICENSE.txt README.txt zonquist.exe " ]] || fail "the zip holds: $(ls "$work/unzipped")"
  for text in README.txt:100 LICENSE.txt:20; do
    lines=$(wc -l <"$work/unzipped/${text%:*}")
    crlf=$(grep -c $'\r$' "$work/unzipped/${text%:*}")
    [[ $lines == "$crlf" && $lines -gt ${text#*:} ]] || fail "${text%:*}: $crlf of $lines lines end in CR LF"
  done
  echo "ok: the zip holds zonquist.exe, README.txt and LICENSE.txt with CR LF line ends"
fi
