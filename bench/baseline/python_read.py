#!/usr/bin/env python3
"""Python's way of reading a left-ticket answer, as a yardstick for
bench_booking's BM_ReadLeftTickets200: decode the 200-train answer's bytes,
json.loads them and split every train on "|". The answer has the shape of
bench_booking's (a station map, then 200 quoted train texts of 36 pieces with
a percent-encoded secret of some 300 bytes in front), in UTF-8 as the
service sends it. Prints the median time of one read over 15 rounds.

Usage: python_read.py
"""
import json
import statistics
import timeit


def left_ticket_answer(trains):
    parts = []
    for t in range(trains):
        secret = ""
        k = 0
        while len(secret) < 300:
            secret += "Zm9vYmFy" + str(t * 31 + k) + "%2B%2F"
            k += 1
        secret += "%3D"
        code = ("G" if t % 2 else "K") + str(100 + t)
        text = (secret + "|预订|24000" + code + "0Q|" + code + "|BJP|SHH|ABC|XYZ|08:00|13:28|05:28|Y|"
                "O2x4Gw8sPdW1ZXNWXQnVJWkK%2FH1d2lRt|20261212|3|P2|01|10|1|0||||--|--||无|--|有|7|--|12|9|3|O0M0O0|OMO|1")
        parts.append('"' + text + '"')
    answer = ('{"httpstatus":200,"data":{"flag":"1","map":{"BJP":"北京","SHH":"上海"},"result":['
              + ",".join(parts) + ']},"messages":"","status":true}')
    return answer.encode("utf-8")


def read(raw):
    answer = json.loads(raw.decode("utf-8"))
    return [row.split("|") for row in answer["data"]["result"]]


def main():
    raw = left_ticket_answer(200)
    assert len(read(raw)) == 200
    rounds = [min(timeit.repeat(lambda: read(raw), number=200, repeat=1)) / 200 for _ in range(15)]
    print(f"answer {len(raw)} bytes: json.loads + split, median of 15 rounds: {statistics.median(rounds) * 1e6:.1f} us")


if __name__ == "__main__":
    main()
