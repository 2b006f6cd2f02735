#!/usr/bin/python3
"""One machine against a fleet of three, side by side in one run.

Usage: bench/fleet/side_by_side.py [build dir (build/release)] [releases each (7)]

One account (demo) wants one train's second class on five dates. Every setup
gets a fresh quillet-sim (--control, --release-every 0, every wanted class
sold out) and runs the plan once per release, each round for a train of its
own (a booking ends the wish):

  single  one quillet-grab without a fleet (a fleet-less quillet-grab cannot
          bind a source address, so it queries from 127.0.0.1)
  fleet1  one fleet member on 127.0.0.2 (redis-server of the setup's own)
  fleet3  three fleet members on 127.0.0.2, .3 and .4 sharing a redis-server;
          the plan's budget (max_queries_per_second 5) is the account's, so
          each member keeps a third of it: the single machine's queries
          spread over three addresses
  fleet3x3  the same three with three times the budget (15): each member
          queries as fast as the single machine

In each round, once every address has made a few queries and a pause drawn
from 1 to 2.5 s,
one ticket of the round's train comes back on one of the five dates (the
round's number modulo 5); the round ends with the booking.
From the sim's request log:
  queries/address/s  left-ticket queries per source address per second, from
                     the moment every address queries to the confirm, over
                     all rounds
  reaction           from the release (the moment the control request was
                     sent) to the confirmSingleForQueue request's arrival;
                     median over the releases
  queries/date/s     the same queries per travel date: how often each date is
                     looked at
and the reaction's parts (medians): release to the last query of the date
before the order (the one that saw the tickets, from any address), that query
to the holder's checkUser, checkUser to confirm. The ratio columns compare
each setup with `single`. Takes about 3 minutes;
needs redis-server and python3 only. Not part of ctest.
"""
import datetime
import json
import os
import random
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

QUERY_PATH = "/otn/leftTicket/query"
CONFIRM_PATH = "/otn/confirmPassenger/confirmSingleForQueue"
CHECK_USER_PATH = "/otn/login/checkUser"
QUEUE_COUNT_PATH = "/otn/confirmPassenger/getQueueCount"
DATES = 5
PASSENGERS = ["张伟", "李娜"]  # the sim's demo account holds both
# From every address querying to the release: a pause drawn anew each round
# over more than one pass of the single machine over the five dates (1 s), so
# the releases do not fall at one phase of the query cycle.
PAUSE_S = (1.0, 2.5)
BUDGET = 5  # max_queries_per_second, the account's (quillet-grab's default)
ROUND_LIMIT_S = 20  # a round that has not ended by then is stopped


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def china_date(days):
    china = datetime.timezone(datetime.timedelta(hours=8))
    return (datetime.datetime.now(china) + datetime.timedelta(days=days)).strftime("%Y-%m-%d")


class Sim:
    def __init__(self, build):
        self.port = free_port()
        self.base = "http://127.0.0.1:%d" % self.port
        self.process = subprocess.Popen(
            [os.path.join(build, "sim/quillet-sim"), "--port", str(self.port), "--control", "--captcha-cells", "2,7",
             "--release-every", "0", "--max-unpaid", "100"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for_port(self.port):
            raise SystemExit("quillet-sim did not start")
        self.log = {}  # the request log outlives the sim's last 2000 entries

    def get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10) as answer:
            return json.load(answer)

    def post(self, path, form):
        data = urllib.parse.urlencode(form).encode()
        with urllib.request.urlopen(self.base + path, data=data, timeout=10) as answer:
            return json.load(answer)

    def release(self, date, train, count):
        self.post("/sim/release", {"date": date, "train": train, "seat": "O", "count": count})

    def collect(self):
        for entry in self.get("/sim/requests"):
            key = (entry["t"], entry["address"], entry["method"], entry["path"], entry["query"], entry["body"])
            self.log[key] = entry

    def entries(self):
        self.collect()
        return sorted(self.log.values(), key=lambda e: e["unix_ms"])

    def stop(self):
        self.process.terminate()
        self.process.wait()


def second_class_trains(sim, date, count):
    query = urllib.parse.urlencode({"leftTicketDTO.train_date": date, "leftTicketDTO.from_station": "VNP",
                                    "leftTicketDTO.to_station": "AOH", "purpose_codes": "ADULT"})
    trains = []
    for row in sim.get(QUERY_PATH + "?" + query)["data"]["result"]:
        fields = row.split("|")
        if fields[11] == "Y" and fields[30] != "--" and fields[3] not in trains:
            trains.append(fields[3])
    if len(trains) < count:
        raise SystemExit("the sim runs only %d trains with second class from 北京南 to 上海虹桥" % len(trains))
    return trains[:count]


def write_plan(path, base, dates, train, passenger, fleet_name, budget):
    with open(path, "w", encoding="utf-8") as plan:
        plan.write('service = "%s"\naccount = "demo"\nservice_hours = "00:00-00:00"\n' % base)
        plan.write("max_queries_per_second = %.3f\n" % budget)
        plan.write('[[wish]]\nfrom = "VNP"\nto = "AOH"\ndates = [%s]\ntrains = ["%s"]\npassengers = ["%s"]\n'
                   'ticket_type = "成人票"\nseats = ["二等座"]\n' % (", ".join('"%s"' % d for d in dates), train, passenger))
        if fleet_name:
            plan.write('[fleet]\nname = "%s"\n' % fleet_name)


def start_redis():
    port = free_port()
    process = subprocess.Popen(["redis-server", "--port", str(port), "--bind", "127.0.0.1", "--save", "",
                                "--appendonly", "no"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_for_port(port):
        raise SystemExit("redis-server did not start")
    return process, "redis://127.0.0.1:%d/0" % port


def wait_until_querying(sim, addresses, since, seconds=20):
    """The moment every address has made a few left-ticket queries since `since`."""
    end = time.time() + seconds
    while time.time() < end:
        counts = {}
        for entry in sim.entries():
            if entry["unix_ms"] >= since and entry["path"].startswith(QUERY_PATH):
                counts[entry["address"]] = counts.get(entry["address"], 0) + 1
        if len(counts) >= len(addresses) and all(n >= 3 for n in counts.values()):
            return time.time() * 1000
        time.sleep(0.2)
    raise SystemExit("the grabbers did not start querying within %d s" % seconds)


def run_setup(build, name, addresses, budget, releases, workdir):
    """One round per release: a fresh run of the plan (a fleet of its own name),
    the release once every address queries, the run ends with the booking."""
    sim = Sim(build)
    redis, url = start_redis() if addresses else (None, None)
    members = []
    rounds = []
    pauses = random.Random(28)
    try:
        dates = [china_date(d) for d in range(3, 3 + DATES)]
        trains = second_class_trains(sim, dates[0], releases)
        for date in dates:
            for train in trains:
                sim.release(date, train, 0)
        sim.post("/sim/reset", {})  # forget the queries made above
        grab = os.path.join(build, "src/cli/quillet-grab")
        environment = dict(os.environ, QUILLET_PASSWORD="demo1234")
        for k, train in enumerate(trains):
            plan = os.path.join(workdir, "%s-%d.toml" % (name, k))
            fleet_name = "%s-%d" % (name, k) if addresses else None
            write_plan(plan, sim.base, dates, train, PASSENGERS[k % 2], fleet_name, budget)
            commands = [[grab, "--captcha-cells", "--no-sound", plan]]
            if addresses:
                commands = [[grab, "--captcha-cells", "--no-sound", "--fleet", url, "--source-address", a, plan]
                            for a in addresses]
            started = time.time() * 1000
            members = []
            for n, command in enumerate(commands):
                output = open(os.path.join(workdir, "%s-%d-%d.log" % (name, k, n)), "w")
                member = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=output, stderr=subprocess.STDOUT,
                                          env=environment)
                member.stdin.write(b"2,7\n2,7\n")
                member.stdin.close()
                members.append(member)
            ready = wait_until_querying(sim, addresses or ["127.0.0.1"], started)
            time.sleep(pauses.uniform(*PAUSE_S))
            date = dates[k % len(dates)]
            at = time.time() * 1000
            sim.release(date, train, 1)
            for member in members:
                try:
                    member.wait(timeout=ROUND_LIMIT_S)
                except subprocess.TimeoutExpired:
                    member.terminate()
                    member.wait()
            rounds.append({"ready": ready, "at": at, "date": date, "train": train, "ended": time.time() * 1000})
        return figures(sim.entries(), rounds)
    finally:
        for member in members:
            if member.poll() is None:
                member.terminate()
                member.wait()
        if redis:
            redis.terminate()
            redis.wait()
        sim.stop()


def first(log, since, until, matches):
    for entry in log:
        if since <= entry["unix_ms"] < until and matches(entry):
            return entry["unix_ms"]
    return None


def last(log, since, until, matches):
    found = None
    for entry in log:
        if since <= entry["unix_ms"] < until and matches(entry):
            found = entry["unix_ms"]
    return found


def figures(log, rounds):
    # The confirm request names no train: a release's confirm is the first one
    # after the getQueueCount that names the released train. The query that saw
    # the tickets is the last one of the released date, from any address,
    # before the order's checkUser. Queries are counted from the moment every
    # address queried to the confirm (or the round's end), over all rounds.
    reactions, seen, to_order, chain = [], [], [], []
    windows = []
    for r in rounds:
        at, date, train = r["at"], r["date"], r["train"]
        count = first(log, at, r["ended"],
                      lambda e: e["path"] == QUEUE_COUNT_PATH and "stationTrainCode=%s&" % train in e["body"])
        confirm = count and first(log, count, r["ended"], lambda e: e["path"] == CONFIRM_PATH)
        windows.append((r["ready"], confirm or r["ended"]))
        if not confirm:
            continue
        reactions.append(confirm - at)
        check = last(log, at, count, lambda e: e["path"] == CHECK_USER_PATH)
        query = check and last(log, at, check, lambda e: e["path"].startswith(QUERY_PATH) and date in e["query"])
        if query and check:
            seen.append(query - at)
            to_order.append(check - query)
            chain.append(confirm - check)
    per_address = {}
    for entry in log:
        if entry["path"].startswith(QUERY_PATH) and any(s <= entry["unix_ms"] < e for s, e in windows):
            per_address[entry["address"]] = per_address.get(entry["address"], 0) + 1
    seconds = sum(e - s for s, e in windows) / 1000
    rates = {address: count / seconds for address, count in per_address.items()}
    median = lambda values: statistics.median(values) if values else float("nan")
    return {
        "rate": statistics.mean(rates.values()) if rates else 0.0,
        "per_date": sum(per_address.values()) / seconds / DATES,
        "rates": rates,
        "reaction": median(reactions),
        "reactions": reactions,
        "parts": (median(seen), median(to_order), median(chain)),
        "missed": len(rounds) - len(reactions),
    }


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    releases = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    three = ["127.0.0.2", "127.0.0.3", "127.0.0.4"]
    setups = [("single", [], BUDGET), ("fleet1", three[:1], BUDGET), ("fleet3", three, BUDGET),
              ("fleet3x3", three, BUDGET * 3)]
    results = {}
    with tempfile.TemporaryDirectory() as workdir:
        for name, addresses, budget in setups:
            results[name] = run_setup(build, name, addresses, budget, releases, workdir)
            r = results[name]
            print("%s: queries/s by address %s; reactions (ms) %s%s" % (
                name, {a: round(v, 2) for a, v in sorted(r["rates"].items())},
                [round(x) for x in r["reactions"]], "; %d releases not ordered" % r["missed"] if r["missed"] else ""))
            print("  medians (ms): release to the query that saw it %.0f, that query to checkUser %.0f, "
                  "checkUser to confirm %.0f" % r["parts"], flush=True)
            if r["missed"]:
                for log in sorted(os.listdir(workdir)):
                    if log.startswith(name) and log.endswith(".log"):
                        print("--- %s (last lines)" % log)
                        print("".join(open(os.path.join(workdir, log)).readlines()[-15:]))
    single = results["single"]
    print()
    print("%-8s %18s %15s %21s %24s" % ("setup", "queries/address/s", "queries/date/s", "reaction median (ms)",
                                         "ratio to single (q/a, r)"))
    for name, _, _ in setups:
        r = results[name]
        print("%-8s %18.2f %15.2f %21.0f %17.2f %6.2f" % (name, r["rate"], r["per_date"], r["reaction"],
                                                          r["rate"] / single["rate"],
                                                          r["reaction"] / single["reaction"]))


if __name__ == "__main__":
    main()
