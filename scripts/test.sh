#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export TZ=UTC LC_ALL=C QT_QPA_PLATFORM=offscreen
cd "$root/build"
ctest --output-on-failure -j "$(nproc)"

# The decoders of untrusted files run once more under AddressSanitizer and UBSan.
asan_targets=$(cat "$root/scripts/asan-tests.txt" 2>/dev/null | grep -v '^#' || true)
if [ -n "$asan_targets" ]; then
  asan="$root/build-asan"
  export CCACHE_BASEDIR="$root"
  cmake -S "$root" -B "$asan" -G Ninja -DTV_SANITIZE=ON -DTV_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$asan" -j "$(nproc)" --target $asan_targets
  cd "$asan"
  regex=$(echo $asan_targets | tr ' ' '|')
  ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$(nproc)" -R "^(${regex})\$"
fi
