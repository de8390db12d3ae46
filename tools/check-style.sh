#!/usr/bin/env bash
# Fails when a C++ file is not formatted as .clang-format says, or when
# clang-tidy (.clang-tidy) warns. Needs a configured build with
# compile_commands.json (default: build/default; PORTPROBE_BUILD_DIR names
# another).
#
#   tools/check-style.sh [--changed] [--fix]
#
# Quiet unless something is wrong: it shows its progress on standard error
# and, at the end, what each failing file was told, or one line when all is
# clean. --changed checks only the files that differ from the branch main
# (PORTPROBE_STYLE_BASE names another base): committed since it, changed
# since, or new, and the sources that include a changed header. --fix
# formats the files in place instead of checking them. clang-tidy runs as
# many files at once as there are processors (PORTPROBE_STYLE_JOBS sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PORTPROBE_BUILD_DIR:-build/default}
usage="usage: tools/check-style.sh [--changed] [--fix]"
changed=false
fix=false
for argument in "$@"; do
  case "$argument" in
  --changed) changed=true ;;
  --fix) fix=true ;;
  -h | --help)
    echo "$usage"
    exit 0
    ;;
  *)
    echo "$usage" >&2
    exit 2
    ;;
  esac
done

fail() {
  echo "check-style.sh: $*" >&2
  exit 2
}

started=$SECONDS
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if $changed; then
  base=${PORTPROBE_STYLE_BASE:-main}
  git rev-parse --verify -q "$base^{commit}" >/dev/null ||
    fail "--changed compares with $base, which is no commit here (set PORTPROBE_STYLE_BASE)"
  fork=$(git merge-base HEAD "$base")
  mapfile -t files < <({
    git diff --name-only --diff-filter=d "$fork" -- '*.cpp' '*.h'
    git ls-files --others --exclude-standard -- '*.cpp' '*.h'
  } | sort -u)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "style: nothing changed to check"
  exit 0
fi
if $fix; then
  clang-format -i "${files[@]}"
  exit 0
fi

# The sources clang-tidy checks: those the build compiles (the macOS-only
# type check, tools/standin_signatures.cpp, and the fuzzers have no compile
# command), and, with --changed, those that include a changed header
# directly (headers are checked through what includes them).
[ -f "$build/compile_commands.json" ] ||
  fail "no $build/compile_commands.json; configure a build first (cmake --preset default)"
compiled() { grep -q "\"file\": \".*/$1\"" "$build/compile_commands.json"; }
candidates=()
for file in "${files[@]}"; do
  case "$file" in
  *.cpp) candidates+=("$file") ;;
  *.h)
    # Included as "dir/name.h" from src/, tests/ or bench/.
    included=${file#*/}
    mapfile -t -O "${#candidates[@]}" candidates < <(git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp' |
      xargs grep -lF "#include \"$included\"" 2>/dev/null || true)
    ;;
  esac
done
sources=()
while IFS= read -r file; do
  compiled "$file" && sources+=("$file")
done < <(printf '%s\n' "${candidates[@]+"${candidates[@]}"}" | grep -E '^(src|tests|bench)/' | sort -u)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
problems=0

if ! clang-format --dry-run --Werror "${files[@]}" >"$scratch/format" 2>&1; then
  echo "== clang-format: files not formatted as .clang-format says (tools/check-style.sh --fix formats them)"
  cat "$scratch/format"
  problems=$((problems + 1))
fi

# Progress: in place on a terminal, else a line at every tenth.
progress() {
  local done=$1 total=$2
  if [ -t 2 ]; then
    printf '\rclang-tidy: %d of %d files' "$done" "$total" >&2
    [ "$done" -lt "$total" ] || printf '\n' >&2
  elif [ $((done * 10 / total)) -ne $(((done - 1) * 10 / total)) ] || [ "$done" -eq "$total" ]; then
    echo "clang-tidy: $done of $total files" >&2
  fi
}

total=${#sources[@]}
jobs=${PORTPROBE_STYLE_JOBS:-$(nproc 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2)}
running=0
finished=0
for index in "${!sources[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
    finished=$((finished + 1))
    progress "$finished" "$total"
  fi
  (
    status=0
    clang-tidy -p "$build" --quiet "${sources[$index]}" >"$scratch/$index.log" 2>&1 || status=$?
    echo "$status" >"$scratch/$index.status"
  ) &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || true
  running=$((running - 1))
  finished=$((finished + 1))
  progress "$finished" "$total"
done

tidy_failures=0
for index in "${!sources[@]}"; do
  if [ "$(cat "$scratch/$index.status")" != 0 ]; then
    # Its count of warnings generated, most of them in system headers and
    # suppressed, says nothing of the file.
    echo "== clang-tidy: ${sources[$index]}"
    grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$scratch/$index.log" || true
    tidy_failures=$((tidy_failures + 1))
  fi
done
problems=$((problems + tidy_failures))

elapsed=$((SECONDS - started))
took="$((elapsed / 60)) min $((elapsed % 60)) s"
if [ "$problems" -ne 0 ]; then
  echo "style: problems found (${tidy_failures} of $total files fail clang-tidy; $took)" >&2
  exit 1
fi
echo "style: clean (${#files[@]} files formatted, $total checked by clang-tidy; $took)"
