#!/usr/bin/env bash
# Builds the Debian package in a configured release build folder and checks it
# as installed: unpacked into a throw-away root, its programs run from there,
# Debian's own tools check the package, the menu entry, the AppStream data and
# the manual pages. Anything that still needs the build tree fails here.
#   scripts/package-check.sh BUILD_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
export QT_QPA_PLATFORM=offscreen

fail() { echo "package-check: $*" >&2; exit 1; }

echo "-- building the package"
cmake --build "$build" >/dev/null
(cd "$build" && rm -f quillet_*.deb && cpack -G DEB >cpack.log) || { cat "$build/cpack.log"; fail "cpack failed"; }
debs=("$build"/quillet_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single quillet_*.deb"
deb=${debs[0]}
echo "   $(basename "$deb")"
dpkg-deb -f "$deb" Depends

root=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
dpkg -x "$deb" "$root"

echo "-- no path of the build machine in the installed files"
for dir in "$build" "$src"; do
  if grep -rlF -- "$dir" "$root" >/dev/null; then
    grep -rlF -- "$dir" "$root" >&2
    fail "installed files name $dir"
  fi
done
for program in "$root"/usr/bin/*; do
  if readelf -d "$program" | grep -E 'RPATH|RUNPATH'; then fail "$(basename "$program") carries a library path"; fi
done

echo "-- the installed programs"
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}
[ "$("$root/usr/bin/quillet" --version)" = "quillet $upstream" ] || fail "quillet --version is not 'quillet $upstream'"
[ "$("$root/usr/bin/quillet-sim" --version)" = "quillet-sim $upstream" ] || fail "quillet-sim --version is wrong"
LC_ALL=C.UTF-8 "$root/usr/bin/quillet-sim" --help | grep -q "^Usage: quillet-sim" || fail "quillet-sim --help"
# The message catalogue is found beside the installed programs.
LC_ALL= LANGUAGE= LANG=zh_CN.UTF-8 "$root/usr/bin/quillet-sim" --help | grep -q "^用法：quillet-sim" ||
  fail "quillet-sim --help under LANG=zh_CN.UTF-8 is not in Chinese"

echo "-- lintian"
# Errors fail the check; warnings and notes are shown.
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

echo "-- menu entry and AppStream data"
desktops=("$root"/usr/share/applications/*.desktop)
[ -f "${desktops[0]}" ] || fail "no desktop entry"
desktop-file-validate "${desktops[@]}"
icon=$(sed -n 's/^Icon=//p' "${desktops[0]}")
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] || fail "no ${size}px icon $icon"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "-- the package's description names every program"
description=$(dpkg-deb -f "$deb" Description)
for program in "$root"/usr/bin/*; do
  grep -qw -- "$(basename "$program")" <<<"$description" || fail "the description does not name $(basename "$program")"
done

echo "-- manual pages"
for program in "$root"/usr/bin/*; do
  page="$root/usr/share/man/man1/$(basename "$program").1.gz"
  [ -f "$page" ] || fail "no manual page for $(basename "$program")"
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$warnings" >&2; fail "$(basename "$page") renders with warnings"; }
  echo "   $(basename "$page")"
done

# ---------------------------------------------------------------------------
# Sign-in of the installed quillet-grab against the installed quillet-sim.
# Only when the package holds quillet-grab; its helper adjusts the command line
# to quillet-grab's final options.
# ---------------------------------------------------------------------------
sign_in_with_quillet_grab() {
  local grab="$root/usr/bin/quillet-grab"
  if [ ! -x "$grab" ]; then
    echo "-- quillet-grab sign-in: skipped, the package holds no quillet-grab"
    return 0
  fi
  echo "-- quillet-grab signs in and books against quillet-sim"
  local work="$root/grab-check"
  mkdir -p "$work"
  "$root/usr/bin/quillet-sim" --port 0 --captcha-cells 2,7 --release-every 0 >"$work/sim.out" &
  sim_pid=$!
  local url=
  for _ in $(seq 100); do
    url=$(sed -n '1s/^listening on //p' "$work/sim.out")
    [ -n "$url" ] && break
    sleep 0.1
  done
  [ -n "$url" ] || fail "quillet-sim did not start"
  local date
  date=$(TZ=Asia/Shanghai date -d +5days +%F)
  cat >"$work/plan.toml" <<PLAN
service = "$url"
account = "demo"
service_hours = "00:00-00:00"  # quillet-sim is open all day

[[wish]]
from = "北京"
to = "上海"
dates = ["$date"]
passengers = ["张伟"]
ticket_type = "成人票"
seats = ["二等座", "一等座", "商务座", "硬座", "硬卧", "软卧"]
PLAN
  "$grab" --check "$work/plan.toml" || fail "quillet-grab --check refused the plan"
  local status=0
  # The captcha answer comes from the pipe; the sim's cells are fixed at 2,7.
  echo 2,7 | QUILLET_PASSWORD=demo1234 timeout 120 "$grab" --json --captcha-cells "$work/plan.toml" \
    >"$work/grab.out" || status=$?
  cat "$work/grab.out"
  [ "$status" -eq 0 ] || fail "quillet-grab ended with $status"
  grep -q '"event":"booked"' "$work/grab.out" || fail "quillet-grab reported no booking"
  kill "$sim_pid" && wait "$sim_pid" 2>/dev/null || true
  sim_pid=
}
sign_in_with_quillet_grab

echo "-- package check passed: $(basename "$deb")"
