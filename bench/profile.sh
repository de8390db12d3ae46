#!/usr/bin/env bash
# Counts the instructions of one report over a generated registry with
# callgrind, and splits them between rendering and the stand-in's parts.
# usage: bench/profile.sh [ENTRIES] [BUILD_DIR]   (defaults: 10000 build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-10000}
build=${2:-build/bench}
out=$(mktemp -d /tmp/portprobe-profile-XXXXXX)
valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" \
  --toggle-collect=measuredReport "$build/bench/portprobe_report_once" "$entries" 2>"$out/valgrind.log" ||
  { cat "$out/valgrind.log" >&2; exit 1; }
python3 bench/callgrind_split.py "$out/callgrind.out" "$entries"
echo "profile: $out/callgrind.out (callgrind_annotate it for detail)"
