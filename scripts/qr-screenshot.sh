#!/usr/bin/env bash
# Renders docs/screenshots/grab-qr-sign-in.png: quillet-grab signing in by QR
# code against quillet-sim, run in a tmux pane whose text is captured and
# drawn as a picture (cells 10 x 20 pixels, block glyphs as exact rectangles),
# then checked with zbarimg: the picture must scan. Needs tmux, python3 and
# rsvg-convert besides the build. Usage: bash scripts/qr-screenshot.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-$root/build/release}
out=$root/docs/screenshots/grab-qr-sign-in.png
work=$(mktemp -d)
session=quillet-qr-shot-$$
cleanup() {
  tmux kill-session -t "$session" 2>/dev/null || true
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/sim/quillet-sim" --control --release-every 0 >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do grep -q listening "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
service=$(sed -n 's/^listening on //p' "$work/sim.out")
date=$(TZ=Asia/Shanghai date -d '+5 days' +%F)
cat >"$work/plan.toml" <<PLAN
service = "$service"
account = "demo"
sign_in = "qr"
service_hours = "00:00-00:00"

[[wish]]
from = "北京南"
to = "上海虹桥"
dates = ["$date"]
passengers = ["张伟", "李娜"]
ticket_type = "成人票"
seats = ["二等座"]
PLAN

mkdir -p "$work/run" && chmod 700 "$work/run"
runtime=${XDG_RUNTIME_DIR:-$work/run}
tmux new-session -d -s "$session" -x 100 -y 34 \
  "cd '$work' && env -u QUILLET_PASSWORD XDG_RUNTIME_DIR='$runtime' LANG=C.UTF-8 PS1='\$ ' bash --norc -i"
sleep 0.5
tmux send-keys -t "$session" "quillet-grab() { '$build/src/cli/quillet-grab' \"\$@\"; }; clear" Enter
sleep 0.5
tmux send-keys -t "$session" "quillet-grab --no-sound plan.toml" Enter
for _ in $(seq 50); do tmux capture-pane -t "$session" -p | grep -q "QR code to scan" && break; sleep 0.1; done
tmux capture-pane -t "$session" -p >"$work/capture.txt"

python3 - "$work/capture.txt" "$work/shot.svg" <<'PY'
import sys, html
lines = open(sys.argv[1], encoding="utf-8").read().rstrip("\n").split("\n")
while lines and not lines[-1].strip():
    lines.pop()
cw, ch, pad = 10, 20, 16
cols = max(len(l) for l in lines)
w, h = cols * cw + 2 * pad, len(lines) * ch + 2 * pad
out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}">',
       f'<rect width="{w}" height="{h}" fill="#1d1f21"/>']
halves = {"\u2588": (True, True), "\u2580": (True, False), "\u2584": (False, True)}
for y, line in enumerate(lines):
    top = pad + y * ch
    text = []
    for x, c in enumerate(line):
        left = pad + x * cw
        if c in halves:
            up, down = halves[c]
            if up: out.append(f'<rect x="{left}" y="{top}" width="{cw}" height="{ch // 2}" fill="#ffffff"/>')
            if down: out.append(f'<rect x="{left}" y="{top + ch // 2}" width="{cw}" height="{ch // 2}" fill="#ffffff"/>')
            text.append(" ")
        else:
            text.append(c)
    t = "".join(text).rstrip()
    if t:
        out.append(f'<text x="{pad}" y="{top + 15}" font-family="DejaVu Sans Mono, Noto Sans Mono CJK SC, monospace" '
                   f'font-size="16" fill="#c5c8c6" xml:space="preserve">{html.escape(t)}</text>')
out.append("</svg>")
open(sys.argv[2], "w", encoding="utf-8").write("\n".join(out))
PY
rsvg-convert "$work/shot.svg" -o "$out"
content=$(grep -o 'https://[^ ]*' "$work/capture.txt" | head -1)
decoded=$(zbarimg -q --raw "$out" 2>/dev/null)
[ "$decoded" = "$content" ] || { echo "qr-screenshot: the picture does not scan back to $content" >&2; exit 1; }
echo "wrote $out (scans to $content)"
