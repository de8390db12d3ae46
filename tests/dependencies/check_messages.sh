#!/usr/bin/env bash
# Configures with one dependency made impossible to find at a time and checks
# that configure stops with the one message that names it and what provides
# it, and that with everything there it passes.
# Usage: check_messages.sh CMAKE SOURCE_DIR SCRATCH_DIR CXX_COMPILER GENERATOR
set -euo pipefail
cmake=$1 source=$2 scratch=$3 compiler=$4 generator=$5
rm -rf "$scratch"
mkdir -p "$scratch/empty-pkg-config"
failures=0

# Runs configure of project DIR in its own scratch build; the rest of the
# arguments go to cmake. Leaves the output, whitespace squeezed (CMake wraps
# its messages), in $output and the status in $status.
configure() {
  local project=$1 build
  shift
  build=$(mktemp -d "$scratch/build.XXXXXX")
  status=0
  output=$("$cmake" -S "$project" -B "$build" -G "$generator" -DCMAKE_CXX_COMPILER="$compiler" \
    -DPORTPROBE_SOURCE_DIR="$source" "$@" 2>&1) || status=$?
  output=$(tr -s ' \n' '  ' <<<"$output")
}

fail() {
  echo "FAILED: $1"
  echo "  configure said: $output"
  failures=$((failures + 1))
}

# expect_missing NAME MESSAGE [cmake arguments]: configure must fail with
# MESSAGE, a single error and no output of pkg-config's own.
expect_missing() {
  local name=$1 message=$2
  shift 2
  configure "$source/tests/dependencies" "$@"
  if [ "$status" -eq 0 ]; then
    fail "$name: configure passed"
  elif ! grep -qF -- "$message" <<<"$output"; then
    fail "$name: no message '$message'"
  elif [ "$(grep -o "CMake Error" <<<"$output" | wc -l)" -ne 1 ] || grep -q "Package '" <<<"$output"; then
    fail "$name: more than the one message"
  else
    echo "ok: $name"
  fi
}

# Everything the test level of tools/install-deps installs is found.
configure "$source/tests/dependencies" "-DREQUIRE=libplist;gtest;gmock;nlohmann_json"
if [ "$status" -ne 0 ]; then fail "all there: configure failed"; else echo "ok: all there"; fi

plist_message="libplist 2 (pkg-config module libplist-2.0) was not found. Install it with tools/install-deps, or by hand: 'apt-get install libplist-dev' on Debian or Ubuntu, 'brew install libplist' with Homebrew."
# pkg-config looks in an empty folder only.
PKG_CONFIG_LIBDIR="$scratch/empty-pkg-config" PKG_CONFIG_PATH="" \
  expect_missing libplist "$plist_message" -DREQUIRE=libplist
expect_missing pkg-config "pkg-config (to find libplist) was not found. Install it with tools/install-deps, or by hand: 'apt-get install pkg-config' on Debian or Ubuntu, 'brew install pkg-config' with Homebrew." \
  -DREQUIRE=libplist -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON
expect_missing GoogleTest "GoogleTest was not found. Install it with tools/install-deps --test, or by hand: 'apt-get install libgtest-dev' on Debian or Ubuntu, 'brew install googletest' with Homebrew." \
  -DREQUIRE=gtest -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
# GoogleTest installed without GMock: a configuration of GoogleTest alone.
mkdir -p "$scratch/gtest-alone"
cat >"$scratch/gtest-alone/GTestConfig.cmake" <<'CONFIG'
add_library(GTest::gtest INTERFACE IMPORTED)
add_library(GTest::gtest_main INTERFACE IMPORTED)
CONFIG
expect_missing GMock "GMock was not found. Install it with tools/install-deps --test, or by hand: 'apt-get install libgmock-dev' on Debian or Ubuntu, 'brew install googletest' with Homebrew." \
  -DREQUIRE=gmock -DGTest_DIR="$scratch/gtest-alone"
expect_missing "Google Benchmark" "Google Benchmark was not found. Install it with tools/install-deps --all, or by hand: 'apt-get install libbenchmark-dev' on Debian or Ubuntu, 'brew install google-benchmark' with Homebrew." \
  -DREQUIRE=benchmark -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
expect_missing nlohmann-json "nlohmann-json 3 was not found. Install it with tools/install-deps, or by hand: 'apt-get install nlohmann-json3-dev' on Debian or Ubuntu, 'brew install nlohmann-json' with Homebrew." \
  -DREQUIRE=nlohmann_json -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON

# The project itself: a machine with the build tools but no libplist.
PKG_CONFIG_LIBDIR="$scratch/empty-pkg-config" PKG_CONFIG_PATH="" \
  configure "$source" -DBUILD_TESTING=OFF
if [ "$status" -eq 0 ]; then
  fail "portprobe without libplist: configure passed"
elif ! grep -qF -- "$plist_message" <<<"$output"; then
  fail "portprobe without libplist: no message naming it"
else
  echo "ok: portprobe without libplist"
fi

rm -rf "$scratch"
[ "$failures" -eq 0 ]
