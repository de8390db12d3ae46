#!/usr/bin/env bash
# Runs tools/macos-typecheck.sh against a stand-in of the header check: what
# it says when the check or its headers are missing, and that it shows only
# what fails, with the check's status, for both architectures.
# Usage: macos_typecheck_check.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
script=$1/tools/macos-typecheck.sh
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/headers/sdk/include/IOKit" "$scratch/json/nlohmann" "$scratch/bare"
touch "$scratch/headers/sdk/include/IOKit/IOKitLib.h" "$scratch/json/nlohmann/json.hpp"
failures=0

# The stand-in of check.sh: records its architecture, and fails the files
# named in FAKE_FAILING.
cat >"$scratch/check.sh" <<'STUB'
status=0
while [ $# -gt 0 ]; do
  case "$1" in
  --arch) echo "arch $2" >>"$FAKE_CALLS"; shift 2 ;;
  -I) shift 2 ;;
  *) if [ "$1" = "${FAKE_FAILING:-}" ]; then echo "$1: error: no"; echo "FAIL $1"; status=1; else echo "OK   $1"; fi; shift ;;
  esac
done
exit $status
STUB

# expect WHAT STATUS PATTERN VARIABLE=VALUE...: runs the script with the
# variables set, and checks its status and that its output matches PATTERN.
expect() {
  local what=$1 want=$2 pattern=$3 status=0
  shift 3
  : >"$scratch/calls"
  env FAKE_CALLS="$scratch/calls" NLOHMANN_INCLUDE="$scratch/json" "$@" bash "$script" \
    >"$scratch/out" 2>&1 || status=$?
  if [ "$status" -ne "$want" ] || ! grep -Eq "$pattern" "$scratch/out"; then
    echo "FAILED: $what: status $status (wanted $want); output:"
    sed 's/^/  /' "$scratch/out"
    failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}

readme='README.md \("Checking the macOS build here"\) says how'
expect "no check where it is named" 2 "no macOS header check at /nonexistent/check.sh.*$readme" \
  MACOS_CHECK=/nonexistent/check.sh
expect "no headers" 2 "header toolchain is not prepared in $scratch/bare: run $scratch/setup.sh once; $readme" \
  MACOS_CHECK="$scratch/check.sh" MACOS_CHECK_DIR="$scratch/bare"
expect "no nlohmann" 2 "no $scratch/bare/nlohmann/json.hpp: tools/install-deps installs" \
  MACOS_CHECK="$scratch/check.sh" MACOS_CHECK_DIR="$scratch/headers" NLOHMANN_INCLUDE="$scratch/bare"
expect "all pass" 0 "every file passes for arm64 and x86_64" \
  MACOS_CHECK="$scratch/check.sh" MACOS_CHECK_DIR="$scratch/headers"
if grep -q '^OK ' "$scratch/out" || [ "$(cat "$scratch/calls")" != "$(printf 'arch arm64\narch x86_64')" ]; then
  echo "FAILED: all pass: printed an OK line, or did not check both architectures"
  failures=$((failures + 1))
fi
expect "one fails" 1 "^FAIL src/cli/input_file.cpp" \
  MACOS_CHECK="$scratch/check.sh" MACOS_CHECK_DIR="$scratch/headers" FAKE_FAILING=src/cli/input_file.cpp
if grep -q "every file passes" "$scratch/out" || ! grep -q "error: no" "$scratch/out"; then
  echo "FAILED: one fails: said all passes, or hid why it failed"
  failures=$((failures + 1))
fi

rm -rf "$scratch"
[ "$failures" -eq 0 ]
