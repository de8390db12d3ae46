#!/usr/bin/env bash
# Type-checks the program's sources as a macOS 14 x86-64 build would compile
# them, against the system's IOKit and CoreFoundation headers, and checks that
# the stand-in declares every name it shares with them identically.
# Needs the header toolchain prepared once per machine (see README).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
check=${MACOS_CHECK:-$here/../shared/tools/macos-check/check.sh}
cd "$here"
bash "$check" -I src src/app/*.cpp src/report/*.cpp tools/standin_signatures.cpp
