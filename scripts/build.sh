#!/usr/bin/env bash
# Configures and builds the project into build/ (or $TV_BUILD_DIR). Extra arguments go to
# the CMake configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TV_BUILD_DIR:-$root/build}"
# Lets ccache reuse objects across clones in different folders (CI clones afresh).
export CCACHE_BASEDIR="$root"
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
