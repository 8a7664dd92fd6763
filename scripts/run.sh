#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the program on the bundled
# sample experiment. Needs a display; on a machine without one, run it under a virtual
# display: xvfb-run -a ./scripts/run.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exec "$root/build/app/tremvia" "$root/examples/SynthFault/Fault.pad"
