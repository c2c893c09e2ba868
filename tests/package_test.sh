#!/usr/bin/env bash
# The packages: the .deb installs with dpkg, its binary and man page work
# from where it put them, and it is removed again; the Windows zip holds
# zonquist.exe and the README with CR LF line ends.
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
dpkg-query -W zonquist >/dev/null 2>&1 && fail "a zonquist package is installed already; this test would remove it"

work=$(mktemp -d)
trap 'dpkg -r zonquist >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
deb=$(ls "$work"/zonquist_*_amd64.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg -i "$deb" >/dev/null
[[ $(/usr/bin/zonquist --version) == "Talvenor Zonquist 20070118" ]] || fail "zonquist --version: $(/usr/bin/zonquist --version)"
[[ $(man -w zonquist) == /usr/share/man/man1/zonquist.1* ]] || fail "man -w zonquist: $(man -w zonquist 2>&1)"
[[ -s /usr/share/doc/zonquist/README.md ]] || fail "no README in /usr/share/doc/zonquist"
dpkg -r zonquist >/dev/null
[[ ! -e /usr/bin/zonquist ]] || fail "dpkg -r left /usr/bin/zonquist"
echo "ok: the .deb installs, answers --version, has its man page, and is removed"

if [[ -n $windows ]]; then
  cpack --config "$windows/CPackConfig.cmake" -B "$work/windows" >/dev/null
  zip=$(ls "$work"/windows/zonquist-*-win64.zip)
  echo "package: $(basename "$zip"), $(stat -c %s "$zip") bytes"
  mkdir "$work/unzipped"
  (cd "$work/unzipped" && cmake -E tar xf "$zip")
  [[ $(ls "$work/unzipped" | tr '\n' ' ') == "README.txt zonquist.exe " ]] || fail "the zip holds: $(ls "$work/unzipped")"
  lines=$(wc -l <"$work/unzipped/README.txt")
  crlf=$(grep -c $'\r$' "$work/unzipped/README.txt")
  [[ $lines == "$crlf" && $lines -gt 100 ]] || fail "README.txt: $crlf of $lines lines end in CR LF"
  echo "ok: the zip holds zonquist.exe and README.txt with CR LF line ends"
fi
