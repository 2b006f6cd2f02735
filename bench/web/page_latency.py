#!/usr/bin/python3
"""From an event of the run to the page's DOM showing it, in headless Chromium.

Usage: bench/web/page_latency.py build/release/bench/web/web_event_source [EVENTS]

Starts the page's server (web_event_source), opens the page, then makes
EVENTS (default 1000) event lines 20 ms apart. The page records when each
line appears in its list (a MutationObserver); the time from handing the
line to the server to that moment is reported as median and 99th
percentile, with the page's weight.
"""
import socket
import statistics
import subprocess
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    source = sys.argv[1]
    events = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    port = free_port()
    server = subprocess.Popen([source, str(port)], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    print(server.stdout.readline().strip())
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        browser.get("http://127.0.0.1:%d/" % port)
        browser.execute_script("""
            window.seen = {};
            new MutationObserver((changes) => {
              const at = performance.timeOrigin + performance.now();
              for (const change of changes)
                for (const node of change.addedNodes) {
                  const m = / bench (\\d+)$/.exec(node.textContent || '');
                  if (m && !(m[1] in window.seen)) window.seen[m[1]] = at;
                }
            }).observe(document.getElementById('lines'), {childList: true});""")
        time.sleep(1)
        sent = {}
        for n in range(1, events + 1):
            sent[n] = time.time() * 1000
            server.stdin.write("bench %d\n" % n)
            server.stdin.flush()
            time.sleep(0.02)
        time.sleep(1)
        seen = browser.execute_script("return window.seen")
    finally:
        browser.quit()
        server.stdin.close()
        server.wait(10)
    delays = sorted(seen[str(n)] - sent[n] for n in sent if str(n) in seen)
    if not delays:
        print("no event reached the page")
        return 1
    p99 = delays[min(len(delays) - 1, int(len(delays) * 0.99))]
    print("events shown: %d of %d" % (len(delays), events))
    print("event to DOM: median %.1f ms, p99 %.1f ms, max %.1f ms" % (statistics.median(delays), p99, delays[-1]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
