#!/usr/bin/env bash
# Type-checks the program's sources as the macOS 14 build compiles them, for
# both halves of its universal binary (Apple silicon, arm64, and x86-64),
# against the system's IOKit and CoreFoundation headers, and checks that the
# stand-in declares every name it shares with them identically. Prints only
# what fails, and a count.
#
# Needs the header check prepared once per machine: its check.sh (found
# beside this repository, or beside the main checkout of a worktree, or at
# MACOS_CHECK) and the headers it copies into ~/.cache/macos-check
# (MACOS_CHECK_DIR). README.md, "Checking the macOS build here", says how.
#
# Covers every source a macOS build compiles: portprobe's, and
# portprobe-explain's (its registry reader and whatever lands in src/explain
# and src/pd). Those include <nlohmann/json.hpp>, so the check sees an include
# directory that holds nlohmann's headers and nothing else
# (NLOHMANN_INCLUDE: the directory above nlohmann/, default /usr/include).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
how='README.md ("Checking the macOS build here") says how to prepare it'

fail() {
  echo "macos-typecheck.sh: $*" >&2
  exit 2
}

# The check beside this repository, or beside the main checkout when this is
# a worktree of it.
find_check() {
  local common
  if [ -n "${MACOS_CHECK:-}" ]; then
    echo "$MACOS_CHECK"
    return
  fi
  for root in "$here" "$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null)/.."; do
    common=$(cd "$root/.." 2>/dev/null && pwd) || continue
    if [ -f "$common/shared/tools/macos-check/check.sh" ]; then
      echo "$common/shared/tools/macos-check/check.sh"
      return
    fi
  done
  echo "$here/../shared/tools/macos-check/check.sh"
}

check=$(find_check)
[ -f "$check" ] || fail "no macOS header check at $check (set MACOS_CHECK to its check.sh); $how"
headers=${MACOS_CHECK_DIR:-$HOME/.cache/macos-check}
[ -f "$headers/sdk/include/IOKit/IOKitLib.h" ] ||
  fail "the header toolchain is not prepared in $headers: run $(dirname "$check")/setup.sh once; $how"
nlohmann=${NLOHMANN_INCLUDE:-/usr/include}/nlohmann
[ -f "$nlohmann/json.hpp" ] ||
  fail "no $nlohmann/json.hpp: tools/install-deps installs nlohmann-json, or set NLOHMANN_INCLUDE"

only_json=$(mktemp -d)
trap 'rm -rf "$only_json"' EXIT
ln -s "$nlohmann" "$only_json/nlohmann"
# The version header that CMake generates for the tools' --version.
version=$(sed -n 's/^project(portprobe VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sed "s/@PROJECT_VERSION@/$version/" cmake/version.h.in >"$only_json/portprobe_version.h"

shopt -s nullglob globstar
sources=(src/app/*.cpp src/report/*.cpp src/cli/command_line.cpp src/cli/input_file.cpp
  src/explain/**/*.cpp src/pd/**/*.cpp tools/standin_signatures.cpp)
status=0
for arch in arm64 x86_64; do
  echo "== $arch: ${#sources[@]} files"
  # Each file's OK is left out: what fails, and why, is what is shown.
  set +e
  bash "$check" --arch "$arch" -I src -I "$only_json" "${sources[@]}" 2>&1 | grep -v '^OK '
  checked=${PIPESTATUS[0]}
  set -e
  [ "$checked" -eq 0 ] || status=1
done
if [ "$status" -eq 0 ]; then
  echo "macos-typecheck.sh: every file passes for arm64 and x86_64"
fi
exit "$status"
