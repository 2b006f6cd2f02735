#!/usr/bin/env python3
"""A grabber of the common Python kind, as a yardstick for bench_query_pass.

N threads, each with its own requests.Session, query the same sold-out train
again and again against quillet-sim: GET the left-ticket query, json.loads the
answer, split each train on "|", look for the wanted train, sleep 200 ms.
Prints the CPU time of this process per pass (getrusage, user + system) and
its peak resident set size, in the same form as bench_query_pass.

Usage: python_grabber.py SIM_BINARY [workers=50] [seconds=20] [latency-ms=20]
"""
import datetime
import json
import resource
import subprocess
import sys
import threading
import time

import requests


def china_date(days_ahead):
    china = datetime.timezone(datetime.timedelta(hours=8))
    return (datetime.datetime.now(china) + datetime.timedelta(days=days_ahead)).strftime("%Y-%m-%d")


def main():
    sim_binary = sys.argv[1]
    workers = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    latency = sys.argv[4] if len(sys.argv) > 4 else "20"

    sim = subprocess.Popen([sim_binary, "--latency-ms", latency, "--release-every", "3600", "--seed", "3", "--control"],
                           stdout=subprocess.PIPE, text=True)
    try:
        base = sim.stdout.readline().strip().removeprefix("listening on ")
        date = china_date(3)
        params = {"leftTicketDTO.train_date": date, "leftTicketDTO.from_station": "BJP",
                  "leftTicketDTO.to_station": "SHH", "purpose_codes": "ADULT"}
        headers = {"Referer": base + "/otn/leftTicket/init", "X-Requested-With": "XMLHttpRequest"}
        query = base + "/otn/leftTicket/query"

        # The same kind of train as bench_query_pass: sells second class, sold out.
        first = requests.get(query, params=params, headers=headers).json()
        wanted = None
        for row in first["data"]["result"]:
            fields = row.split("|")
            if fields[11] == "Y" and fields[30] != "--":
                wanted = fields[3]
                break
        requests.post(base + "/sim/release", data={"date": date, "train": wanted, "seat": "O", "count": 0})

        passes = 0
        lock = threading.Lock()
        stop = threading.Event()

        def worker():
            nonlocal passes
            session = requests.Session()
            while not stop.is_set():
                try:
                    answer = json.loads(session.get(query, params=params, headers=headers, timeout=10).text)
                    for row in answer["data"]["result"]:
                        fields = row.split("|")
                        if fields[3] == wanted and fields[30] not in ("--", "无", "", "*"):
                            print("a ticket appeared", file=sys.stderr)
                except (requests.RequestException, ValueError, KeyError):
                    pass
                with lock:
                    passes += 1
                stop.wait(0.2)

        threads = [threading.Thread(target=worker) for _ in range(workers)]
        for thread in threads:
            thread.start()
        time.sleep(2)  # every worker started and connected

        before = resource.getrusage(resource.RUSAGE_SELF)
        with lock:
            passes_before = passes
        start = time.monotonic()
        time.sleep(seconds)
        after = resource.getrusage(resource.RUSAGE_SELF)
        with lock:
            counted = passes - passes_before
        elapsed = time.monotonic() - start
        stop.set()
        for thread in threads:
            thread.join()

        user = after.ru_utime - before.ru_utime
        system = after.ru_stime - before.ru_stime
        per_pass = lambda s: s / counted * 1e6 if counted else 0.0
        print(f"workers {workers}, latency {latency} ms, {elapsed:.1f} s: {counted} passes ({counted / elapsed:.1f}/s); "
              f"CPU per pass {per_pass(user + system):.1f} us (user {per_pass(user):.1f}, system {per_pass(system):.1f}); "
              f"peak RSS {after.ru_maxrss / 1024:.1f} MB")
    finally:
        sim.terminate()
        sim.wait()


if __name__ == "__main__":
    main()
