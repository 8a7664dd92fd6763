#!/usr/bin/env bash
# Configures and builds the project into build/ (or $TV_BUILD_DIR).
#   build.sh [--target NAME]... [configure arguments]
# Without --target everything is built (program, tests, tools); with it only the named
# targets and what they need. The remaining arguments go to the CMake configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TV_BUILD_DIR:-$root/build}"
targets=()
while [ $# -ge 2 ] && [ "$1" = --target ]; do
  targets+=(--target "$2")
  shift 2
done
# Lets ccache reuse objects across clones in different folders (CI clones afresh).
export CCACHE_BASEDIR="$root"
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
