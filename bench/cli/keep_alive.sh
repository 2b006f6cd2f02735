#!/bin/bash
# A signed-in run waiting for a sale longer than the service keeps an idle
# session (quillet-sim --session-ttl): the keep-alive session checks in the
# sim's log, and whether the run books at the opening without a lapse.
# Usage: bench/cli/keep_alive.sh [build dir] [wait seconds] [session ttl]  (needs curl and python3)
B=${1:-build/release}; WAIT=${2:-600}; TTL=${3:-120}
PORT=$((20000 + RANDOM % 20000)); S=http://127.0.0.1:$PORT
$B/sim/quillet-sim --port $PORT --control --captcha-cells 2,7 --release-every 0 --session-ttl $TTL >/dev/null 2>&1 & SIM=$!
trap 'kill $SIM' EXIT
sleep 1
D=$(TZ=Asia/Shanghai date -d '+5 days' +%F)
T=$(curl -s "$S/otn/leftTicket/query?leftTicketDTO.train_date=$D&leftTicketDTO.from_station=VNP&leftTicketDTO.to_station=AOH&purpose_codes=ADULT" |
  python3 -c 'import json,sys
for r in json.load(sys.stdin)["data"]["result"]:
  f = r.split("|")
  if f[3].startswith("G") and f[30] != "--": print(f[3]); break')
curl -s -o /dev/null -d "date=$D&train=$T&seat=O&count=3" "$S/sim/release"
START=$(TZ=Asia/Shanghai date -d "+$WAIT seconds" '+%F %T')
PLAN=$(mktemp --suffix=.toml); OUT=$(mktemp)
printf 'service = "%s"\naccount = "demo"\nservice_hours = "00:00-00:00"\n[[wish]]\nfrom = "VNP"\nto = "AOH"\ndates = ["%s"]\ntrains = ["%s"]\npassengers = ["张伟"]\nticket_type = "成人票"\nseats = ["二等座"]\nstart_at = "%s"\n' "$S" "$D" "$T" "$START" > $PLAN
QUILLET_PASSWORD=demo1234 timeout $((WAIT + 120)) $B/src/cli/quillet-grab --json --captcha-cells --no-sound $PLAN <<< "2,7" > $OUT 2>&1
echo "exit $? after waiting ${WAIT} s for the sale with --session-ttl $TTL"
grep -c '"event":"session_lapsed"' $OUT | sed 's/^/session_lapsed events: /'
grep -o '"event":"booked"[^}]*' $OUT
curl -s "$S/sim/requests" | python3 -c '
import json, sys
t = [e["t"] / 1000 for e in json.load(sys.stdin) if e["path"] == "/otn/login/checkUser"]
gaps = [round(b - a, 1) for a, b in zip(t, t[1:])]
print(f"{len(t)} session checks; gaps (s): {gaps}")'
rm -f $PLAN $OUT
