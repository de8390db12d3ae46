#!/usr/bin/env bash
# Runs every command of the README's "sh" blocks that needs neither a Mac nor
# another build, as a newcomer would type it, against the build under test:
# in a scratch folder where build/release is that build, HOME is a scratch
# home (so that "cmake --install ... --prefix ~/.local" stays inside it), and
# the fixtures' captures stand in for the files "ioreg" writes on a Mac. Each
# must exit 0 and print something. The build commands themselves are proven
# on a fresh Debian 12 by tools/fresh-machine-check; a command of a kind this
# script does not know fails the check, so that none goes untried.
# Usage: readme_commands_check.sh SOURCE_DIR BUILD_DIR SCRATCH_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
scratch=$3
readme=$source_dir/README.md
rm -rf "$scratch"
mkdir -p "$scratch/work/build" "$scratch/home"
ln -s "$build_dir" "$scratch/work/build/release"
for capture in service power port battery; do
  cp "$source_dir/tests/fixtures/$capture.plist" "$scratch/work/"
done
failures=0
ran=0

# The two commands that tools/fresh-machine-check runs: one line each, in the
# block right after its marker.
for marker in first second; do
  block=$(awk -v marker="<!-- fresh-machine-check: $marker command -->" '
    $0 == marker { armed = 1; next }
    armed == 1 && /^```/ { armed = 2; next }
    armed == 2 && /^```/ { exit }
    armed == 2 && NF > 0 { print }
  ' "$readme")
  if [ "$(wc -l <<<"$block")" -ne 1 ] || [ -z "$block" ]; then
    echo "FAILED: README.md has no single $marker command after its fresh-machine-check marker"
    failures=$((failures + 1))
  fi
done

# Why a command is not run here, or nothing when it is.
skip_reason() {
  case "$1" in
  "tools/install-deps"* | "cmake --preset "* | "cmake --build --preset "* | "cmake --workflow "*)
    echo "builds; tools/fresh-machine-check proves the marked build commands"
    ;;
  "ioreg "*) echo "runs on a Mac (the fixtures' captures stand in for its files)" ;;
  "build/macos/"* | "lipo "*) echo "needs the macOS build" ;;
  "build/bench/"* | "bench/profile.sh"*) echo "needs the bench build" ;;
  "man "*) command -v man >/dev/null || echo "man is not installed" ;;
  esac
}

run_command() {
  local command=$1 status=0
  ran=$((ran + 1))
  (cd "$scratch/work" && env HOME="$scratch/home" MANPAGER=cat PAGER=cat MANWIDTH=80 \
    bash -c "set -o pipefail; $command" </dev/null >"$scratch/out" 2>"$scratch/err") || status=$?
  if [ "$status" -ne 0 ] || [ ! -s "$scratch/out" ]; then
    echo "FAILED: $command"
    echo "  status $status; standard error:"
    sed 's/^/    /' "$scratch/err" | head -n 20
    failures=$((failures + 1))
  else
    echo "ok: $command"
  fi
}

# Every line of every "sh" block; a line of steps joined by "&&" is taken
# step by step, so that the steps after a build step still run.
while IFS= read -r line; do
  case "$line" in "" | "#"*) continue ;; esac
  rest=$line
  while [ -n "$rest" ]; do
    step=${rest%% && *}
    if [ "$step" = "$rest" ]; then rest=""; else rest=${rest#* && }; fi
    reason=$(skip_reason "$step")
    if [ -n "$reason" ]; then
      echo "skipped: $step ($reason)"
    else
      run_command "$step"
    fi
  done
done < <(awk '/^```sh$/ { inside = 1; next } /^```/ { inside = 0; next } inside' "$readme")

# The manual pages were installed where the README reads one.
for page in portprobe portprobe-explain portprobe-replay; do
  if [ ! -f "$scratch/home/.local/share/man/man1/$page.1" ]; then
    echo "FAILED: $page(1) was not installed under ~/.local/share/man/man1"
    failures=$((failures + 1))
  fi
done

echo "$ran commands run"
rm -rf "$scratch"
[ "$failures" -eq 0 ] && [ "$ran" -gt 0 ]
