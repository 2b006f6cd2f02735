#!/bin/bash
# Left-ticket queries per second of a 5-wish, 3-date plan against its budget
# (max_queries_per_second), measured in quillet-sim's request log over a run.
# Usage: bench/cli/query_budget.sh [build dir] [seconds] [budget]  (needs curl and python3)
B=${1:-build/release}; SECONDS_RUN=${2:-60}; BUDGET=${3:-5}
PORT=$((20000 + RANDOM % 20000)); S=http://127.0.0.1:$PORT
$B/sim/quillet-sim --port $PORT --control --captcha-cells 2,7 --release-every 0 >/dev/null 2>&1 & SIM=$!
trap 'kill $SIM' EXIT
sleep 1
DATES=($(for d in 3 4 5; do TZ=Asia/Shanghai date -d "+$d days" +%F; done))
# Five G trains with second class; their second class is emptied on every date, so the run never orders.
TRAINS=($(curl -s "$S/otn/leftTicket/query?leftTicketDTO.train_date=${DATES[0]}&leftTicketDTO.from_station=VNP&leftTicketDTO.to_station=AOH&purpose_codes=ADULT" |
  python3 -c 'import json,sys
n = 0
for r in json.load(sys.stdin)["data"]["result"]:
  f = r.split("|")
  if n < 5 and f[3].startswith("G") and f[30] != "--": print(f[3]); n += 1'))
for d in "${DATES[@]}"; do for t in "${TRAINS[@]}"; do
  curl -s -o /dev/null -d "date=$d&train=$t&seat=O&count=0" "$S/sim/release"
done; done
PLAN=$(mktemp --suffix=.toml)
{
  printf 'service = "%s"\naccount = "demo"\nservice_hours = "00:00-00:00"\nmax_queries_per_second = %s\n' "$S" "$BUDGET"
  for t in "${TRAINS[@]}"; do
    printf '[[wish]]\nfrom = "VNP"\nto = "AOH"\ndates = ["%s", "%s", "%s"]\ntrains = ["%s"]\npassengers = ["张伟"]\nticket_type = "成人票"\nseats = ["二等座"]\n' "${DATES[@]}" "$t"
  done
} > $PLAN
curl -s -o /dev/null -X POST -d reset=1 "$S/sim/reset"
QUILLET_PASSWORD=demo1234 $B/src/cli/quillet-grab --json --captcha-cells --no-sound $PLAN <<< "2,7" >/dev/null 2>&1 & G=$!
sleep $((SECONDS_RUN + 3)); kill -TERM $G; wait $G
curl -s "$S/sim/requests" | python3 -c '
import json, sys
budget = float(sys.argv[1]); span = float(sys.argv[2]) * 1000
t = [e["t"] for e in json.load(sys.stdin) if e["path"].startswith("/otn/leftTicket/query")]
start = t[0] + 1000  # past the start of grabbing
window = [x for x in t if start <= x < start + span]
rate = len(window) / (span / 1000)
most = max(sum(1 for y in t if x <= y < x + 1000) for x in t)
print(f"{len(window)} queries in {span/1000:.0f} s: {rate:.3f}/s, budget {budget:g}/s ({100*(rate-budget)/budget:+.1f}%), most in any second {most}")
' "$BUDGET" "$SECONDS_RUN"
rm -f $PLAN
