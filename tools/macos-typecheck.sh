#!/usr/bin/env bash
# Type-checks the program's sources as a macOS 14 x86-64 build would compile
# them, against the system's IOKit and CoreFoundation headers, and checks that
# the stand-in declares every name it shares with them identically.
# Needs the header toolchain prepared once per machine (see README).
#
# Covers every source a macOS build compiles: portprobe's, and
# portprobe-explain's (its registry reader and whatever lands in src/explain
# and src/pd). Those include <nlohmann/json.hpp>, so the check sees an include
# directory that holds nlohmann's headers and nothing else
# (NLOHMANN_INCLUDE: the directory above nlohmann/, default /usr/include).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
check=${MACOS_CHECK:-$here/../shared/tools/macos-check/check.sh}
nlohmann=${NLOHMANN_INCLUDE:-/usr/include}/nlohmann
cd "$here"

if [ ! -f "$nlohmann/json.hpp" ]; then
  echo "macos-typecheck.sh: no $nlohmann/json.hpp (set NLOHMANN_INCLUDE)" >&2
  exit 2
fi
only_json=$(mktemp -d)
trap 'rm -rf "$only_json"' EXIT
ln -s "$nlohmann" "$only_json/nlohmann"
# The version header that CMake generates for the tools' --version.
version=$(sed -n 's/^project(portprobe VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sed "s/@PROJECT_VERSION@/$version/" cmake/version.h.in >"$only_json/portprobe_version.h"

shopt -s nullglob globstar
sources=(src/app/*.cpp src/report/*.cpp src/cli/command_line.cpp src/cli/input_file.cpp src/explain/**/*.cpp src/pd/**/*.cpp tools/standin_signatures.cpp)
bash "$check" -I src -I "$only_json" "${sources[@]}"
