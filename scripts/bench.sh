#!/usr/bin/env bash
# Builds everything and prints the benchmark table: the real plug-in's hooks in
# the stand-in host against baselines measured in the same process, then the
# players' page on generated logs of about 100 MB and 1 GB in headless Chromium
# and Firefox ESR.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
source scripts/wine-session.sh
start_wine_session
bench="$BUILD_DIR/bin/crimsel_bench.exe"

# The row with the median ratio of five processes: placement in memory differs
# from one process to the next and moves the small figures.
median_of_five() {
  for _ in 1 2 3 4 5; do wine "$bench" "$1"; done | tr -d '\r' |
    awk '{ print $(NF-2), $0 }' | sort -n | sed -n 3p | cut -d' ' -f2-
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"
wine "$bench" header | tr -d '\r'
for scenario in execution-idle execution-decal diagnostics-on diagnostics-off logmessage-off; do
  median_of_five "$scenario"
done
for scenario in logmessage-on startup startup-45mb; do
  wine "$bench" "$scenario" | tr -d '\r'
done
scratch="$(mktemp -d)"
# The long session's log of about 100 MB and an evening's of about 1 GB, each
# in Chromium and in Firefox ESR, three runs in each browser.
for blocks in 11000 112242; do
  for browser in chromium firefox; do
    CRIMSEL_BROWSER=$browser node bench/PageBench.mjs "$BUILD_DIR/page/Vorlaine.Crimsel.html" "$scratch" "$blocks" 3
  done
  rm -f "$scratch/Crimsel-$blocks.log"
done
# A log followed as it grows by 1 MB a second: in Node from 100 MB, and in
# Chromium, the page following it through a picker's handle, from 30 MB.
node bench/FollowBench.mjs 100 20 "$BUILD_DIR/page/Vorlaine.Crimsel.html" "$scratch" 30
rm -rf "$scratch"
