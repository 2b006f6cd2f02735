#!/usr/bin/env bash
# One command for a rehearsal on a fresh Debian 12 machine: installs what is
# needed, builds Quillet and the rehearsal service quillet-sim, starts the
# service on a free loopback port and opens Quillet pointed at it. The
# service stops when the Quillet window is closed.
#
# --sale-in SECONDS: the trains of a travel date five days ahead go on sale
# that many seconds after the service starts; the date and the moment
# (China Standard Time) are printed.
set -euo pipefail

sale_in=
while [ $# -gt 0 ]; do
  case "$1" in
    --sale-in)
      [ $# -ge 2 ] && [[ "$2" =~ ^[0-9]+$ ]] || { echo "rehearse: --sale-in needs a number of seconds" >&2; exit 2; }
      sale_in=$2
      shift 2
      ;;
    -h|--help)
      echo "Usage: bash scripts/rehearse.sh [--sale-in SECONDS]"
      exit 0
      ;;
    *)
      echo "rehearse: unknown option $1 (try --help)" >&2
      exit 2
      ;;
  esac
done

cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/release

bash scripts/install-deps.sh

echo "== building quillet and quillet-sim in $build"
# Only the programs: the tests and benchmarks are scripts/test.sh's business.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillet quillet-sim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
rehearse: there is no display here ($DISPLAY and $WAYLAND_DISPLAY are empty),
so the Quillet window cannot open. The build is done. Either run this command
again from a desktop session, or run it on a virtual display:

  xvfb-run -a -s "-screen 0 1280x800x24" bash scripts/rehearse.sh
MSG
  exit 1
fi

# The programs' own places in the build tree (a search could find a stale
# copy, e.g. cpack's staging folder).
quillet=$build/src/app/quillet
sim=$build/sim/quillet-sim
for program in "$quillet" "$sim"; do
  [ -x "$program" ] || { echo "rehearse: $program was not built" >&2; exit 1; }
done

sim_out=$(mktemp)
sim_pid=
stop_sim() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$sim_out"
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

sim_args=(--host 127.0.0.1 --port 0)
sale_text=
if [ -n "$sale_in" ]; then
  # China Standard Time is UTC+8 all year; the POSIX zone needs no tzdata.
  opens=$(( $(date +%s) + sale_in ))
  sale_date=$(TZ=CST-8 date -d "@$(( opens + 5 * 86400 ))" +%F)
  sale_moment=$(TZ=CST-8 date -d "@$opens" '+%F %T')
  sim_args+=(--sale "$sale_date@$sale_moment")
  sale_text="   Trains on $sale_date go on sale at $sale_moment (China Standard Time),
   in $sale_in seconds; until then every class shows \"*\".
"
fi

"$sim" "${sim_args[@]}" >"$sim_out" 2>&1 &
sim_pid=$!

# The service's first line is "listening on http://127.0.0.1:PORT".
url=
for _ in $(seq 1 100); do
  url=$(sed -n '1s/^listening on //p' "$sim_out")
  [ -n "$url" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$url" ]; then
  echo "rehearse: quillet-sim did not start:" >&2
  cat "$sim_out" >&2
  exit 1
fi

cat <<MSG

== rehearsal service running at $url
   Sign in to Quillet with
     account:  demo
     password: demo1234
   Sold-out tickets come back every 10 seconds or so; closing the Quillet window
   ends the rehearsal.
${sale_text}
MSG

status=0
"$quillet" --service "$url" || status=$?
exit "$status"
