#!/usr/bin/env bash
# Extra Debian packages for developers only: the generators in tools/ (which make the
# committed reference tables and fixtures), the reference libraries the benchmarks
# compare against, and clang with libFuzzer and OpenMP for scripts/fuzz.sh. Neither the
# build nor the tests need them.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"
packages=(
  python3-numpy python3-scipy python3-mpmath python3-pil python3-statsmodels
  imagemagick netpbm ghostscript
  libfftw3-dev libcminpack-dev liblapack-dev libpng-dev libtiff-dev libjpeg-dev
  clang libclang-rt-dev libomp-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
