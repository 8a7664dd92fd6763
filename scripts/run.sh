#!/usr/bin/env bash
# Installs what is missing, builds the program (only the program: the tests are built by
# test.sh) and starts it on a working copy of the bundled sample experiment.
#
# The working copy lives outside the source tree, in
# ${XDG_DATA_HOME:-~/.local/share}/tremvia/SynthFault, made from examples/SynthFault on
# the first run and kept afterwards, so the work done on it (picks, locations, saved
# pictures) stays from run to run and the committed sample stays as committed. Delete
# that folder to start again from the sample as shipped.
#
# Needs a display; on a machine without one, run it under a virtual display:
#   xvfb-run -a ./scripts/run.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" --target tremvia

work="${XDG_DATA_HOME:-$HOME/.local/share}/tremvia/SynthFault"
if [ ! -e "$work" ]; then
  mkdir -p "$(dirname "$work")"
  rm -rf "$work.partial"
  cp -r "$root/examples/SynthFault" "$work.partial"
  mv "$work.partial" "$work"
  echo "Working copy of the sample experiment made in $work"
elif [ ! -f "$work/Fault.pad" ]; then
  echo "$work holds no Fault.pad; move that folder away to get a fresh copy of the sample" >&2
  exit 1
fi
exec "$root/build/app/tremvia" "$work/Fault.pad"
