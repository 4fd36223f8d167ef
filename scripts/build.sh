#!/usr/bin/env bash
# Configures and builds the plug-in, the stand-in host and the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release
