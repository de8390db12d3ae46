#!/usr/bin/env bash
# Runs tools/install-deps against stand-ins of the package tools (dpkg-query,
# apt-get, sudo, brew, id, uname) that record how they are called, and checks
# what it installs, how, and what it says, on each kind of system.
# Usage: install_deps_check.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
script=$1/tools/install-deps
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/base" "$scratch/debian" "$scratch/sudo" "$scratch/brew"
calls=$scratch/calls
failures=0

# Only these real tools are on the PATH, so that the system's own package
# tools can never be reached.
for tool in bash env grep cat; do
  ln -s "$(command -v "$tool")" "$scratch/base/$tool"
done
stub() {
  printf '#!%s\n%s\n' "$(command -v bash)" "$2" >"$1"
  chmod +x "$1"
}
# The stubs' own code, expanded when they run.
# shellcheck disable=SC2016
{
  stub "$scratch/base/id" 'echo "${FAKE_UID:-0}"'
  stub "$scratch/base/uname" 'echo "${FAKE_SYSTEM:-Linux}"'
  # dpkg-query -W -f=... PACKAGE
  stub "$scratch/debian/dpkg-query" 'for p in $FAKE_INSTALLED; do [ "$p" = "$3" ] && { echo "install ok installed"; exit 0; }; done; exit 1'
}
stub "$scratch/debian/apt-get" "echo \"apt-get \$* (DEBIAN_FRONTEND=\${DEBIAN_FRONTEND:-}) as uid \${FAKE_UID:-0}\" >>'$calls'"
stub "$scratch/sudo/sudo" "echo sudo >>'$calls'; FAKE_UID=0 exec \"\$@\""
stub "$scratch/brew/brew" "if [ \"\$1\" = list ]; then printf '%s\n' \$FAKE_INSTALLED; else echo \"brew \$*\" >>'$calls'; fi"

# run PATH_DIRS ARGUMENTS...: runs the script with the stand-ins of
# PATH_DIRS; leaves $out, $err, $status and the calls made in $made.
run() {
  local dirs=$1 path=$scratch/base dir
  shift
  for dir in $dirs; do path=$path:$scratch/$dir; done
  : >"$calls"
  status=0
  PATH=$path "$scratch/base/bash" "$script" "$@" >"$scratch/out" 2>"$scratch/err" || status=$?
  out=$(cat "$scratch/out") err=$(cat "$scratch/err") made=$(cat "$calls")
}
# verdict NAME: after "if CONDITION; then ok NAME; else failed NAME; fi".
ok() { echo "ok: $1"; }
failed() {
  echo "FAILED: $1"
  printf '  status %s\n  out: %s\n  err: %s\n  calls: %s\n' "$status" "$out" "$err" "$made"
  failures=$((failures + 1))
}
has() { [[ " $1 " == *" $2 "* ]]; }
# The packages a level installs on an empty Debian system.
packages_of() {
  FAKE_INSTALLED="" run debian "$@"
  sed -n 's/^install-deps: installing //p' <<<"$out"
}

build=$(packages_of)
test_level=$(packages_of --test)
all=$(packages_of --all)
name="each level holds what it must"
if has "$build" cmake && has "$build" libplist-dev && has "$build" nlohmann-json3-dev &&
  has "$build" usb.ids &&
  ! has "$build" libgtest-dev && has "$test_level" libgtest-dev && has "$all" clang &&
  has "$all" valgrind && has "$all" libbenchmark-dev; then ok "$name"; else failed "$name"; fi
name="each level adds to the one before"
if [[ "$test_level" == "$build "* && "$all" == "$test_level "* ]]; then ok "$name"; else failed "$name"; fi

FAKE_INSTALLED="$all" run debian --all
name="nothing missing: no apt-get, and it says so"
if [ "$status" -eq 0 ] && [ -z "$made" ] && [[ "$out" == *"nothing to install"* ]]; then
  ok "$name"
else failed "$name"; fi

without_two=${build/pkg-config /}
without_two=${without_two/libplist-dev /}
FAKE_INSTALLED="$without_two" run debian
expected="apt-get update -q (DEBIAN_FRONTEND=noninteractive) as uid 0
apt-get install -y -q --no-install-recommends pkg-config libplist-dev (DEBIAN_FRONTEND=noninteractive) as uid 0"
name="root: updates, then installs only what is missing, without questions"
if [ "$status" -eq 0 ] && [ "$out" = "install-deps: installing pkg-config libplist-dev" ] &&
  [ "$made" = "$expected" ]; then ok "$name"; else failed "$name"; fi

FAKE_INSTALLED="$build" FAKE_UID=1000 run "debian sudo" --test
expected="sudo
apt-get update -q (DEBIAN_FRONTEND=noninteractive) as uid 0
sudo
apt-get install -y -q --no-install-recommends libgtest-dev libgmock-dev (DEBIAN_FRONTEND=noninteractive) as uid 0"
name="not root: through sudo"
if [ "$status" -eq 0 ] && [ "$made" = "$expected" ]; then ok "$name"; else failed "$name"; fi

FAKE_INSTALLED="$build" FAKE_UID=1000 run debian --test
name="not root and no sudo: fails, naming the command to run as root"
if [ "$status" -eq 1 ] && [ -z "$made" ] && [[ "$err" == *"apt-get install libgtest-dev libgmock-dev"* ]]; then
  ok "$name"
else failed "$name"; fi

FAKE_SYSTEM=Darwin FAKE_INSTALLED="cmake ninja" run "brew debian" --test
name="macOS: brew installs only the missing formulae"
if [ "$status" -eq 0 ] && [[ "$made" == "brew install "* ]] && ! has "$made" cmake &&
  has "$made" libplist && has "$made" googletest; then ok "$name"; else failed "$name"; fi
FAKE_SYSTEM=Darwin FAKE_INSTALLED="${made#brew install } cmake ninja" run brew --test
name="macOS: nothing missing, nothing installed"
if [ "$status" -eq 0 ] && [ -z "$made" ] && [[ "$out" == *"nothing to install"* ]]; then
  ok "$name"
else failed "$name"; fi
FAKE_SYSTEM=Darwin run ""
name="macOS without Homebrew: fails, naming the formulae"
if [ "$status" -eq 1 ] && [[ "$err" == *Homebrew*libplist* ]]; then ok "$name"; else failed "$name"; fi

run ""
name="an unknown system: fails, naming the packages to install by hand"
if [ "$status" -eq 1 ] && [[ "$err" == *"$build"* ]]; then ok "$name"; else failed "$name"; fi

run debian --bogus
name="an unknown option: usage, status 2"
if [ "$status" -eq 2 ] && [[ "$err" == *usage:* ]]; then ok "$name"; else failed "$name"; fi

rm -rf "$scratch"
[ "$failures" -eq 0 ]
