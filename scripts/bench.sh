#!/usr/bin/env bash
# Builds everything and prints the benchmark table: the real plug-in's hooks in
# the stand-in host against baselines measured in the same process.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
source scripts/wine-session.sh
start_wine_session
bench="$BUILD_DIR/bin/crimsel_bench.exe"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"
for scenario in header diagnostics-on diagnostics-off; do
  wine "$bench" "$scenario"
done
