#!/usr/bin/env bash
# Starts the real program on a virtual X display (run it under xvfb-run):
#  1. on a copy of the sample experiment: the main window appears, a screenshot of it is
#     kept in the artefact folder, and File > Exit closes it;
#  2. without a file: the Open dialog appears, cancelling it ends the program and no
#     main window is ever shown.
# The program keeps its settings (recent files) in a folder of the run's own: the user's
# settings file is neither read nor written, and the run checks that.
# Arguments: the program, the sample experiment's folder, the artefact folder.
set -euo pipefail
program=$(realpath "$1")
sample=$(realpath "$2")
artefacts=$(realpath -m "$3")
export QT_QPA_PLATFORM=xcb
mkdir -p "$artefacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$sample" "$work/sample"
pad=$(ls "$work"/sample/*.pad | head -n 1)
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

user_settings="${XDG_CONFIG_HOME:-$HOME/.config}/Berit TAM/Tremvia.conf"
stamp() { { stat -c '%s %.9Y' "$user_settings" && md5sum < "$user_settings"; } 2>/dev/null || echo none; }
user_before=$(stamp)
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

# Waits until a visible window whose name matches $1 exists and prints its id.
wait_window() {
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.2
  done
  return 1
}

# Waits up to $2 seconds for process $1 to end; its exit status in $status.
wait_exit() {
  for _ in $(seq 1 $(( $2 * 5 ))); do
    if ! kill -0 "$1" 2>/dev/null; then wait "$1" && status=0 || status=$?; return 0; fi
    sleep 0.2
  done
  return 1
}

# 1. The sample experiment.
"$program" "$pad" &
pid=$!
win=$(wait_window ' - Tremvia') || { kill "$pid"; fail "no main window"; }
sleep 2  # let every pane paint
xwd -silent -id "$win" | xwdtopnm 2>/dev/null | pnmtopng > "$artefacts/main-window.png"
read -r _ width height _ < <(pngtopnm "$artefacts/main-window.png" | pnmfile | sed 's/.*, \([0-9]*\) by \([0-9]*\).*/x \1 \2 x/')
[ "$width" -ge 600 ] && [ "$height" -ge 400 ] || fail "screenshot is $width x $height"
colours=$(pngtopnm "$artefacts/main-window.png" | ppmhist -noheader | wc -l)
[ "$colours" -ge 8 ] || fail "screenshot has only $colours colours"
# The sample's data on the pages shown at start: the coloured pixels (the drawings'
# curves, markers and radiation colours; frames and text are black on white) in the
# areas of the "TS" page (bottom left), the "Hypo" page (top right) and the "Foc" page
# (bottom right).
pngtopnm "$artefacts/main-window.png" | python3 -c '
import sys
data = sys.stdin.buffer.read()
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace(): pos += 1
    end = pos
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[pos:end]); pos = end
pos += 1
w, h = int(fields[1]), int(fields[2])
px = data[pos:]
def coloured(x0, y0, x1, y1):
    n = 0
    for y in range(int(y0 * h), int(y1 * h), 2):
        row = y * w * 3
        for x in range(int(x0 * w), int(x1 * w), 2):
            r, g, b = px[row + 3 * x:row + 3 * x + 3]
            n += max(r, g, b) - min(r, g, b) > 80
    return n
areas = {"TS": (0.03, 0.3, 0.45, 0.9), "Hypo": (0.5, 0.1, 0.97, 0.5), "Foc": (0.5, 0.55, 0.97, 0.9)}
bad = [f"{k} ({coloured(*a)})" for k, a in areas.items() if coloured(*a) < 100]
print("pages without data: " + ", ".join(bad) if bad else "TS, Hypo and Foc pages show data")
sys.exit(1 if bad else 0)
' || fail "the sample's pages are empty"
xdotool windowfocus --sync "$win" key alt+f
sleep 0.5
xdotool key x
if ! wait_exit "$pid" 20; then kill "$pid"; fail "File > Exit did not end the program"; fi
[ "$status" -eq 0 ] || fail "exit status $status"

# 2. No file: cancel the Open dialog.
"$program" &
pid=$!
dlg=$(wait_window 'Open Tremvia File') || { kill "$pid"; fail "no Open dialog"; }
xdotool windowfocus --sync "$dlg" key Escape
if ! wait_exit "$pid" 20; then kill "$pid"; fail "cancelling the Open dialog did not end the program"; fi
[ -f "$XDG_CONFIG_HOME/Berit TAM/Tremvia.conf" ] || fail "the run's own settings file was not written"
[ "$(stamp)" = "$user_before" ] || fail "the user's settings file $user_settings was changed"
echo "main window $width x $height, $colours colours; cancelled start ended with status $status"
