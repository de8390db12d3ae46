#!/usr/bin/env bash
# Runs tools/check-style.sh in a scratch repository against stand-ins of
# clang-format and clang-tidy that record the files they are given: it is
# quiet when all is clean, shows what a failing file was told without the
# counts of warnings generated, and with --changed checks only the files
# that differ from main and the sources that include a changed header.
# Usage: check_style_check.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
source_dir=$1
scratch=$2
rm -rf "$scratch"
repo=$scratch/repo
mkdir -p "$repo/tools" "$repo/src/x" "$repo/build/default" "$scratch/bin"
cp "$source_dir/tools/check-style.sh" "$repo/tools/"
failures=0

cat >"$scratch/bin/clang-format" <<'STUB'
#!/usr/bin/env bash
for file in "$@"; do
  case "$file" in -*) continue ;; esac
  echo "format $file" >>"$FAKE_CALLS"
  if [ "$file" = "${FAKE_UNFORMATTED:-}" ]; then echo "$file:1:1: error: code should be clang-formatted" >&2; exit 1; fi
done
STUB
cat >"$scratch/bin/clang-tidy" <<'STUB'
#!/usr/bin/env bash
file=${!#}
echo "tidy $file" >>"$FAKE_CALLS"
echo "1853 warnings generated." >&2
if [ "$file" = "${FAKE_TIDY_FAILING:-}" ]; then echo "$file:3:5: error: a real fault [bugprone-x]"; exit 1; fi
STUB
chmod +x "$scratch/bin/clang-format" "$scratch/bin/clang-tidy"

(
  cd "$repo"
  echo 'int one;' >src/x/one.cpp
  printf '#include "x/shared.h"\n' >src/x/two.cpp
  echo '// shared' >src/x/shared.h
  printf '[{"file": "%s/src/x/one.cpp"}, {"file": "%s/src/x/two.cpp"}]\n' "$repo" "$repo" \
    >build/default/compile_commands.json
  git init -q -b main .
  git add src tools
  git -c user.name=t -c user.email=t@t commit -qm base
  git checkout -q -b work
)

# run WHAT STATUS ARGUMENTS...: runs the script, leaving $out, $err and the
# calls made in $calls, and checks its status.
run() {
  local what=$1 want=$2 status=0
  shift 2
  : >"$scratch/calls"
  (cd "$repo" && env PATH="$scratch/bin:$PATH" FAKE_CALLS="$scratch/calls" \
    ${FAKE_UNFORMATTED:+FAKE_UNFORMATTED=$FAKE_UNFORMATTED} \
    ${FAKE_TIDY_FAILING:+FAKE_TIDY_FAILING=$FAKE_TIDY_FAILING} \
    PORTPROBE_STYLE_JOBS=2 tools/check-style.sh "$@") >"$scratch/out" 2>"$scratch/err" || status=$?
  out=$(cat "$scratch/out")
  err=$(cat "$scratch/err")
  calls=$(sort "$scratch/calls")
  if [ "$status" -ne "$want" ]; then
    report "$what: status $status, wanted $want"
  fi
}
report() {
  echo "FAILED: $*"
  printf '  out: %s\n  err: %s\n  calls: %s\n' "$out" "$err" "$calls"
  failures=$((failures + 1))
}

run "clean" 0
[[ $out == "style: clean (3 files formatted, 2 checked by clang-tidy; "* ]] && [ "$(wc -l <<<"$out")" -eq 1 ] ||
  report "clean: not one line saying so"
[ "$err" = "$(printf 'clang-tidy: 1 of 2 files\nclang-tidy: 2 of 2 files')" ] ||
  report "clean: standard error is not the progress alone"

FAKE_TIDY_FAILING=src/x/two.cpp run "a file that clang-tidy fails" 1
grep -q "^== clang-tidy: src/x/two.cpp$" <<<"$out" && grep -q "a real fault" <<<"$out" ||
  report "tidy failure: the file and what it was told are not shown"
! grep -q "warnings generated" <<<"$out$err" || report "tidy failure: the warning counts are shown"
! grep -q "one.cpp" <<<"$out" || report "tidy failure: a clean file is shown"

FAKE_UNFORMATTED=src/x/one.cpp run "a file not formatted" 1
grep -q "^== clang-format" <<<"$out" && grep -q "one.cpp:1:1" <<<"$out" || report "format failure not shown"

run "nothing changed" 0 --changed
[ "$out" = "style: nothing changed to check" ] && [ -z "$calls" ] || report "--changed with no change"

echo '// changed' >>"$repo/src/x/shared.h"
run "a changed header" 0 --changed
[ "$calls" = "$(printf 'format src/x/shared.h\ntidy src/x/two.cpp')" ] ||
  report "--changed: not the changed header and the source that includes it"

(cd "$repo" && git -c user.name=t -c user.email=t@t commit -qam header && echo 'int three;' >src/x/three.cpp)
run "a commit and a new file" 0 --changed
[ "$calls" = "$(printf 'format src/x/shared.h\nformat src/x/three.cpp\ntidy src/x/two.cpp')" ] ||
  report "--changed: not what was committed since main and what is new (three.cpp has no compile command)"

PORTPROBE_STYLE_BASE=nowhere run "an unknown base" 2 --changed
grep -q "compares with nowhere, which is no commit here" <<<"$err" || report "unknown base not said"

rm -rf "$scratch"
[ "$failures" -eq 0 ] && echo "check-style.sh: every case holds"
