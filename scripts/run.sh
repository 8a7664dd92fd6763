#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the program on the bundled
# sample experiment.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
program="$root/build/app/tremvia"
sample=$(ls "$root"/examples/*/*.pad 2>/dev/null | head -n 1 || true)
if [ ! -x "$program" ]; then
  echo "Everything that exists is built; the program itself is not built yet."
  exit 0
fi
exec "$program" ${sample:+"$sample"}
