#!/bin/bash
# Time from the second SIGTERM to quillet-grab's exit while the confirmation answer drips.
# Usage: bench/cli/second_signal.sh [build dir] [runs]  (needs curl and python3; prints one line per run)
B=${1:-build/release}; RUNS=${2:-7}
PORT=$((20000 + RANDOM % 20000)); S=http://127.0.0.1:$PORT
$B/sim/quillet-sim --port $PORT --control --captcha-cells 2,7 --release-every 0 >/dev/null 2>&1 & SIM=$!
trap 'kill $SIM' EXIT
sleep 1
D=$(TZ=Asia/Shanghai date -d '+5 days' +%F)
T=$(curl -s "$S/otn/leftTicket/query?leftTicketDTO.train_date=$D&leftTicketDTO.from_station=VNP&leftTicketDTO.to_station=AOH&purpose_codes=ADULT" |
  python3 -c 'import json,sys
for r in json.load(sys.stdin)["data"]["result"]:
  f = r.split("|")
  if f[3].startswith("G") and f[6] == "VNP" and f[7] == "AOH" and f[30] != "--": print(f[3]); break')
PLAN=$(mktemp --suffix=.toml); ERR=$(mktemp)
printf 'service = "%s"\naccount = "demo"\nservice_hours = "00:00-00:00"\n[[wish]]\nfrom = "VNP"\nto = "AOH"\ndates = ["%s"]\ntrains = ["%s"]\npassengers = ["张伟"]\nticket_type = "成人票"\nseats = ["二等座"]\n' "$S" "$D" "$T" > $PLAN
for i in $(seq $RUNS); do
  curl -s -o /dev/null -X POST -d reset=1 "$S/sim/reset"
  curl -s -o /dev/null -d "date=$D&train=$T&seat=O&count=3" "$S/sim/release"
  curl -s -o /dev/null -d "path=confirmSingleForQueue&mode=drip&times=1" "$S/sim/fault"
  QUILLET_PASSWORD=demo1234 $B/src/cli/quillet-grab --json --captcha-cells --no-sound $PLAN <<< "2,7" >/dev/null 2>$ERR & G=$!
  for w in $(seq 600); do curl -s "$S/sim/requests" | grep -q confirmSingleForQueue && break; sleep 0.05; done
  sleep 0.5; kill -TERM $G; sleep 0.3
  start=$(date +%s%N); kill -TERM $G; wait $G; code=$?; end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) ms exit $code $(grep -c 'was submitted' $ERR) order line(s)"
done
rm -f $PLAN $ERR
