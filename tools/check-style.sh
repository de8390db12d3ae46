#!/usr/bin/env bash
# Fails when a C++ file is not formatted as .clang-format says, or when
# clang-tidy (.clang-tidy) warns. Needs a configured build with
# compile_commands.json (default: build/default). With --fix, formats the
# files in place instead of checking them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PORTPROBE_BUILD_DIR:-build/default}

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi

echo "== clang-format"
clang-format --dry-run --Werror "${files[@]}"

echo "== clang-tidy"
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-style.sh: no $build/compile_commands.json; configure a build first" >&2
  exit 2
fi
# Only the files the build compiles have compile commands; the macOS-only
# type check (tools/standin_signatures.cpp) and the fuzzers are left out.
mapfile -t sources < <(git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp' |
  while read -r f; do grep -q "\"file\": \".*/$f\"" "$build/compile_commands.json" && echo "$f"; done)
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet
echo "style: clean"
