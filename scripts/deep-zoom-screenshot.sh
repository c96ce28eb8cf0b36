#!/usr/bin/env bash
# Makes docs/deep-zoom.png: the real window wheeled into a Mandelbrot view below 1e-20
# wide (215 notches of 1.25), run on a virtual X server with a settings store, home and
# documents folder of its own. Every few notches the pointer moves to the busiest part
# of the picture near it, so that the zoom follows the set's edge rather than ending
# in one flat colour.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build-dev}
output=${1:-$root/docs/deep-zoom.png}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" xvfb xauth imagemagick x11-utils xdotool python3

if [ ! -x "$build/src/gui/corvane" ]; then
    echo "deep-zoom-screenshot: no program at $build/src/gui/corvane" >&2
    exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/documents" "$scratch/config" "$(dirname "$output")"
# A wide window, so the status bar has room for the coordinates' digits, and an
# iteration limit that shows the structure at this depth.
cat >"$scratch/settings.reg" <<'SETTINGS'
[HKEY_CURRENT_USER\Software\Velk\Corvane]
"AnimZoom"=dword:00000000
"Fractal"=dword:00000005
"Mandelbrot"="-2.1,-1.69,1,1.72,3000,0,0,1,1,100"
"WindowHeight"=dword:000002d0
"WindowLeft"=dword:00000000
"WindowTop"=dword:00000000
"WindowWidth"=dword:00000400
SETTINGS

cat >"$scratch/drive.py" <<'DRIVE'
import os, subprocess, time

def run(*args):
    return subprocess.run(args, check=True, capture_output=True).stdout

program = subprocess.Popen([os.environ["CORVANE"]])
title = os.environ["TITLE"]
for _ in range(100):
    if subprocess.run(["xwininfo", "-name", title], capture_output=True).returncode == 0:
        break
    time.sleep(0.2)
time.sleep(2)
info = run("xwininfo", "-name", title).decode().splitlines()
window = next(l.split()[3] for l in info if "Window id:" in l)
W = int(next(l.split()[1] for l in info if "Width:" in l))
H = int(next(l.split()[1] for l in info if "Height:" in l))
shot = os.path.join(os.environ["SCRATCH"], "stage.png")

def grey():
    run("import", "-window", window, shot)
    return run("convert", shot, "-colorspace", "gray", "-depth", "8", "gray:-")

# The centre of the 16 x 16 cell with the most varied brightness, less a penalty
# for its distance from (tx, ty).
def busiest(raw, x0, x1, y0, y1, tx, ty, penalty):
    best = None
    for cy in range(y0, y1 - 16, 8):
        for cx in range(x0, x1 - 16, 8):
            values = [raw[(cy + j) * W + cx + i] for j in range(0, 16, 2) for i in range(0, 16, 2)]
            mean = sum(values) / len(values)
            variance = sum((v - mean) ** 2 for v in values) / len(values)
            score = variance - penalty * ((cx + 8 - tx) ** 2 + (cy + 8 - ty) ** 2)
            if best is None or score > best[0]:
                best = (score, cx + 8, cy + 8, variance)
    return best

# The picture lies between the tool bar and the status bar.
best = busiest(grey(), 20, W - 20, 80, H - 80, W // 2, H // 2, 0.001)
x, y = best[1], best[2]
done = 0
while done < 215:
    run("xdotool", "mousemove", "--window", window, str(x), str(y))
    for _ in range(min(8, 215 - done)):
        run("xdotool", "click", "4")
        time.sleep(0.03)
    done = min(done + 8, 215)
    time.sleep(float(os.environ.get("SETTLE", "4")))
    # Near the pointer, drawn towards the middle of the window.
    best = busiest(grey(), max(20, x - 100), min(W - 20, x + 100), max(80, y - 100),
                   min(H - 80, y + 100), (x + W // 2) // 2, (y + H // 2) // 2, 0.01)
    if best and best[3] > 1:
        x, y = best[1], best[2]
time.sleep(15)  # the last picture is computed meanwhile
run("xdotool", "mousemove", "--window", window, str(x + 3), str(y + 2))
time.sleep(1)
run("import", "-window", window, shot)
run("convert", shot, "-colors", "256", "PNG8:" + os.environ["OUTPUT"])
program.terminate()
program.wait()
DRIVE

HOME=$scratch/home XDG_DOCUMENTS_DIR=$scratch/documents XDG_CONFIG_HOME=$scratch/config \
CORVANE_SETTINGS=$scratch/settings.reg QT_QPA_PLATFORM=xcb SCRATCH=$scratch \
CORVANE=$build/src/gui/corvane OUTPUT=$output TITLE="Mandelbrot - Corvane" \
    xvfb-run -a -s "-screen 0 1280x1024x24" python3 "$scratch/drive.py"
echo "Wrote $output"
