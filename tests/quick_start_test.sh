#!/usr/bin/env bash
# The README's Quick start as a new user pastes it: its first command, in a
# copy of the repository, builds the tool alone and leaves a full run in
# out/ and the shell where it was; its second is what CI runs.
#   quick_start_test.sh SOURCE_DIR
set -euo pipefail
src=$(realpath "$1")
fail() { echo "FAIL: $*"; exit 1; }

mapfile -t commands < <(awk '/^## / { inside = $0 == "## Quick start" } inside && /^    [^ ]/ { sub(/^    /, ""); print }' "$src/README.md")
((${#commands[@]} >= 2)) || fail "the Quick start has ${#commands[@]} commands"
main=${commands[0]} tests=${commands[1]}
echo "main job: $main"
echo "tests: $tests"
grep -qx "bash $tests" "$src/.ci/run" || fail "CI does not run the README's test command: $(cat "$src/.ci/run")"

work=$(mktemp -d "${ZONQUIST_TEST_TMP:-/tmp}/zonquist-start-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The tracked files as they stand, without any build.
(cd "$src" && git ls-files -z | xargs -0 tar -cf - --) | (mkdir "$work/clone" && tar -C "$work/clone" -xf -)
started=$SECONDS
where=$(cd "$work/clone" && bash -c "set -e; $main >/dev/null; pwd")
echo "the main job took $((SECONDS - started)) s"
[[ $where == "$work/clone" ]] || fail "the shell was left in $where"
out=$work/clone/out
[[ $(ls "$out" | wc -l) == 20 ]] || fail "out/ holds $(ls "$out" | wc -l) files"
[[ $(stat -c %s "$out/r10.rev") == 1047265421 && $(stat -c %s "$out/rfc1918.nam") == 816040077 ]] ||
  fail "not a full run of lan.internal.: $(ls -l "$out")"
[[ ! -e $work/clone/build/tests ]] || fail "the main job built the tests"
echo "ok: the main job as the README gives it"
