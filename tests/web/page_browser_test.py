#!/usr/bin/python3
"""quillet-grab's page in a real browser (headless Chromium), against quillet-sim.

Run by ctest with QUILLET_GRAB and QUILLET_SIM naming the programs. With
QUILLET_WEB_SCREENSHOTS naming a folder, the first test also saves the page
as a phone (360 px) and a desktop (1280 px) show it.
"""
import datetime
import json
import os
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

GRAB = os.environ["QUILLET_GRAB"]
SIM = os.environ["QUILLET_SIM"]
SCREENSHOTS = os.environ.get("QUILLET_WEB_SCREENSHOTS", "")
CHINA = datetime.timezone(datetime.timedelta(hours=8))
RIGHT_CELLS = "2,7"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, timeout, step=0.02):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


# Straight to the loopback programs, whatever proxy the environment names.
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))


def http(url, data=None, headers=None, method=None):
    """(status, body) of one request; an error status is an answer too, and no answer is status 0."""
    request = urllib.request.Request(url, data=data, headers=headers or {}, method=method)
    try:
        with OPENER.open(request, timeout=5) as answer:
            return answer.status, answer.read().decode("utf-8", "replace")
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode("utf-8", "replace")
    except (urllib.error.URLError, OSError):
        return 0, ""


class Sim:
    def __init__(self, *extra):
        self.port = free_port()
        self.base = "http://127.0.0.1:%d" % self.port
        self.process = subprocess.Popen(
            [SIM, "--port", str(self.port), "--control", "--captcha-cells", RIGHT_CELLS, "--release-every", "0", *extra],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(lambda: http(self.base + "/sim/sales")[0] == 200, 10, 0.05):
            raise RuntimeError("quillet-sim did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(10)

    def control(self, path, form=None):
        data = urllib.parse.urlencode(form).encode() if form is not None else b""
        return http(self.base + path, data=data)

    def release(self, date, train, seat, count):
        status, body = self.control("/sim/release", {"date": date, "train": train, "seat": seat, "count": count})
        assert status == 200, body

    def g_trains(self, date):
        query = urllib.parse.urlencode({"leftTicketDTO.train_date": date, "leftTicketDTO.from_station": "VNP",
                                        "leftTicketDTO.to_station": "AOH", "purpose_codes": "ADULT"})
        status, body = http(self.base + "/otn/leftTicket/query?" + query)
        assert status == 200, body
        trains = []
        for row in json.loads(body)["data"]["result"]:
            fields = row.split("|")
            if fields[3].startswith("G") and fields[3] not in trains:
                trains.append(fields[3])
        return trains

    def bookings(self):
        return json.loads(http(self.base + "/sim/state")[1])["bookings"]


class Grab:
    """quillet-grab with its page; its standard output is read as it comes."""

    def __init__(self, plan, web, *extra, env=None):
        self.lines = []
        self.lock = threading.Lock()
        environment = dict(os.environ, QUILLET_PASSWORD="demo1234", **(env or {}))
        self.process = subprocess.Popen(
            [GRAB, "--captcha-cells", "--no-sound", "--web", web, *extra, plan],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment)
        # The first sign-in is answered on standard input, which stays open:
        # later sign-ins are answered on the page.
        self.process.stdin.write((RIGHT_CELLS + "\n").encode())
        self.process.stdin.flush()
        self.err = []
        threading.Thread(target=self._read, args=(self.process.stdout, self.lines), daemon=True).start()
        threading.Thread(target=self._read, args=(self.process.stderr, self.err), daemon=True).start()

    def _read(self, stream, into):
        for raw in stream:
            with self.lock:
                into.append((time.monotonic(), raw.decode("utf-8", "replace").rstrip("\n")))

    def first_line_with(self, text):
        with self.lock:
            for moment, line in self.lines:
                if text in line:
                    return moment
        return None

    def stderr_text(self):
        with self.lock:
            return "\n".join(line for _, line in self.err)

    def page_address(self):
        def find():
            with self.lock:
                for _, line in self.err:
                    if "http" in line:
                        return line[line.index("http"):]
            return None
        return wait_for(find, 10)

    def wait(self, timeout=20):
        return self.process.wait(timeout)

    def stop(self):
        self.process.stdin.close()
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def make_browser(width, height=900):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=%d,%d" % (width, height), "--lang=zh-CN", "--hide-scrollbars"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class PageTest(unittest.TestCase):
    sim_args = ()

    def setUp(self):
        self.sim = Sim(*self.sim_args)
        self.addCleanup(self.sim.stop)
        today = datetime.datetime.now(CHINA).date()
        self.dates = [(today + datetime.timedelta(days=n)).isoformat() for n in (5, 6)]
        self.train = self.sim.g_trains(self.dates[0])[0]
        for date in self.dates:
            for seat in ("O", "M"):
                self.sim.release(date, self.train, seat, 0)
        # Two wishes, so that a booking of the first leaves the run (and its page) going.
        plan = tempfile.NamedTemporaryFile("w", suffix=".toml", delete=False, encoding="utf-8")
        self.addCleanup(os.remove, plan.name)
        plan.write('service = "%s"\naccount = "demo"\nservice_hours = "00:00-00:00"\n' % self.sim.base)
        for date, passenger, seat in ((self.dates[0], "张伟", "二等座"), (self.dates[1], "李娜", "一等座")):
            plan.write('\n[[wish]]\nfrom = "VNP"\nto = "AOH"\ndates = ["%s"]\ntrains = ["%s"]\npassengers = ["%s"]\n'
                       'ticket_type = "成人票"\nseats = ["%s"]\n' % (date, self.train, passenger, seat))
        plan.close()
        self.plan = plan.name
        self.web_port = free_port()
        self.page = "http://127.0.0.1:%d/" % self.web_port

    def start_grab(self, web=None, *extra, env=None):
        grab = Grab(self.plan, web or "127.0.0.1:%d" % self.web_port, *extra, env=env)
        self.addCleanup(grab.stop)
        return grab

    def open_browser(self, width=1280, address=None):
        browser = make_browser(width)
        self.addCleanup(browser.quit)
        browser.get(address or self.page)
        return browser

    def attempts(self, browser, wish):
        # Read in one go: the page draws its wishes anew with each change.
        text = self.page_text(browser, "#wish-%d dd.attempts" % wish)
        return int(text) if text.isdigit() else None

    def page_text(self, browser, selector):
        return browser.execute_script("const e = document.querySelector(arguments[0]); return e ? e.textContent : ''",
                                      selector)


class WatchingAndStopping(PageTest):
    def test_the_page_shows_the_wishes_and_counts_attempts_live(self):
        grab = self.start_grab()
        self.assertTrue(grab.page_address(), grab.stderr_text())
        browser = self.open_browser()
        first = WebDriverWait(browser, 10).until(lambda b: self.attempts(b, 1))
        self.assertTrue(wait_for(lambda: (self.attempts(browser, 1) or 0) > first + 2, 10),
                        "the attempt count did not move")
        wishes = self.page_text(browser, "#wishes")
        for part in ("任务 1", "任务 2", "张伟", "李娜", self.train, self.dates[0], "二等座", "一等座", "抢票中"):
            self.assertIn(part, wishes)
        self.assertIn("demo", self.page_text(browser, "#account"))
        self.assertIn("已登录", self.page_text(browser, "#account"))
        self.assertTrue(self.page_text(browser, "#lines li"), "no event line (the sign-in's) is shown")
        if SCREENSHOTS:
            os.makedirs(SCREENSHOTS, exist_ok=True)
            for width, name in ((360, "web-page-phone.png"), (1280, "web-page-desktop.png")):
                shot = self.open_browser(width)
                WebDriverWait(shot, 10).until(lambda b: self.attempts(b, 2))
                height = shot.execute_script("return document.documentElement.scrollHeight")
                # The whole page at the screen's width, as a phone or a desktop shows it.
                shot.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 500})
                time.sleep(0.3)
                shot.save_screenshot(os.path.join(SCREENSHOTS, name))

    def test_a_released_ticket_shows_its_booking_within_a_second(self):
        grab = self.start_grab()
        browser = self.open_browser()
        WebDriverWait(browser, 10).until(lambda b: self.attempts(b, 1))
        self.sim.release(self.dates[0], self.train, "O", 1)
        booked_line = wait_for(lambda: grab.first_line_with("BOOKED"), 20)
        self.assertTrue(booked_line, "\n".join(line for _, line in grab.lines))
        bookings = wait_for(self.sim.bookings, 5)
        order_id = bookings[0]["orderId"]
        shown = wait_for(lambda: order_id in self.page_text(browser, "#bookings"), 5, 0.005)
        seen_at = time.monotonic()
        self.assertTrue(shown, self.page_text(browser, "#bookings"))
        self.assertLess(seen_at - booked_line, 1.0)
        self.assertIn("已订到", self.page_text(browser, "#wish-1"))
        self.assertIn(order_id, self.page_text(browser, "#wish-1"))
        # The other wish goes on.
        before = self.attempts(browser, 2)
        self.assertTrue(wait_for(lambda: (self.attempts(browser, 2) or 0) > before, 10))

    def test_the_stop_button_asks_once_then_ends_the_run_with_exit_3(self):
        grab = self.start_grab()
        browser = self.open_browser()
        WebDriverWait(browser, 10).until(lambda b: self.attempts(b, 1))
        browser.find_element(By.ID, "stop").click()
        alert = WebDriverWait(browser, 5).until(lambda b: b.switch_to.alert)
        alert.dismiss()  # not yet
        time.sleep(0.5)
        self.assertIsNone(grab.process.poll())
        browser.find_element(By.ID, "stop").click()
        WebDriverWait(browser, 5).until(lambda b: b.switch_to.alert).accept()
        # Another page asking as well is the same stop, not a second Ctrl+C.
        form = browser.find_element(By.CSS_SELECTOR, 'meta[name="quillet-form"]').get_attribute("content")
        http(self.page + "stop", data=b"", headers={"X-Quillet-Form": form})
        self.assertEqual(grab.wait(20), 3, grab.stderr_text())
        self.assertNotIn("ended by a second signal", grab.stderr_text())
        self.assertTrue(grab.first_line_with("stopped"))

    def test_a_page_that_reconnects_gets_the_whole_state_again(self):
        grab = self.start_grab()
        browser = self.open_browser()
        WebDriverWait(browser, 10).until(lambda b: self.attempts(b, 1))
        browser.execute_script("document.getElementById('wishes').replaceChildren();"
                               "document.getElementById('lines').replaceChildren();")
        browser.refresh()
        WebDriverWait(browser, 10).until(lambda b: self.attempts(b, 2))
        self.assertTrue(self.page_text(browser, "#lines li"))
        self.assertIsNone(grab.process.poll())


class SigningInAgain(PageTest):
    def test_a_lapse_shows_the_captcha_and_tapping_the_right_cells_signs_in_again(self):
        grab = self.start_grab()
        browser = self.open_browser(360)
        WebDriverWait(browser, 10).until(lambda b: self.attempts(b, 1))
        self.sim.control("/sim/reset")  # the service forgets every session
        self.sim.release(self.dates[0], self.train, "O", 1)
        WebDriverWait(browser, 20).until(lambda b: b.find_element(By.ID, "captcha").is_displayed())
        self.assertIn("未登录", self.page_text(browser, "#account"))
        WebDriverWait(browser, 10).until(
            lambda b: b.execute_script("const i = document.getElementById('captcha-picture');"
                                       "return i.complete && i.naturalWidth > 0"))
        for cell in RIGHT_CELLS.split(","):
            browser.find_element(By.CSS_SELECTOR, "#cells button[data-cell='%s']" % cell).click()
        self.assertEqual(len(browser.find_elements(By.CSS_SELECTOR, "#cells button.marked")), 2)
        if SCREENSHOTS:
            os.makedirs(SCREENSHOTS, exist_ok=True)
            browser.find_element(By.ID, "sign-in").screenshot(os.path.join(SCREENSHOTS, "web-page-captcha.png"))
        browser.find_element(By.ID, "captcha-send").click()
        WebDriverWait(browser, 20).until(lambda b: "已登录" in self.page_text(b, "#account"))
        self.assertFalse(browser.find_element(By.ID, "sign-in").is_displayed())
        # Grabbing goes on: the released ticket is booked.
        WebDriverWait(browser, 20).until(lambda b: "订单号 E" in self.page_text(b, "#bookings"))
        self.assertIsNone(grab.process.poll(), grab.stderr_text())


class SigningInByQrCode(PageTest):
    def test_the_page_shows_the_qr_code_and_grabbing_starts_once_it_is_confirmed(self):
        with open(self.plan, encoding="utf-8") as plan:
            text = plan.read()
        with open(self.plan, "w", encoding="utf-8") as plan:
            plan.write('sign_in = "qr"\n' + text)
        grab = self.start_grab()
        browser = self.open_browser(360)
        WebDriverWait(browser, 20).until(lambda b: b.find_element(By.ID, "qr").is_displayed())
        WebDriverWait(browser, 10).until(
            lambda b: b.execute_script("const i = document.getElementById('qr-picture');"
                                       "return i.complete && i.naturalWidth > 0"))
        content = self.page_text(browser, "#qr-content")
        self.assertIn("uuid=", content)
        uuid = content.split("uuid=", 1)[1]
        status, body = http(self.sim.base + "/sim/qr/scan",
                            data=json.dumps({"id": uuid, "account": "demo", "confirm": True}).encode(),
                            headers={"Content-Type": "application/json"})
        self.assertEqual(status, 200, body)
        WebDriverWait(browser, 20).until(lambda b: self.attempts(b, 1))
        self.assertFalse(browser.find_element(By.ID, "sign-in").is_displayed())
        self.assertIn("已登录", self.page_text(browser, "#account"))
        self.assertIsNone(grab.process.poll(), grab.stderr_text())


class Guarding(PageTest):
    def test_off_loopback_the_token_is_asked_and_a_change_needs_the_form_value(self):
        token = "testtoken-0123456789abcdef"
        grab = self.start_grab("0.0.0.0:%d" % self.web_port, "--web-insecure", env={"QUILLET_WEB_TOKEN": token})
        address = grab.page_address()
        self.assertTrue(address and address.endswith("?token=" + token), grab.stderr_text())
        self.assertIn("warning", grab.stderr_text())
        self.assertEqual(http(self.page)[0], 403)
        self.assertEqual(http(self.page + "status")[0], 403)
        self.assertEqual(http(self.page + "events?token=wrong-0123456789abcdef")[0], 403)
        self.assertEqual(http(self.page + "stop", data=b"")[0], 403)
        with_cookie = {"Cookie": "quillet_token=" + token}
        self.assertEqual(http(self.page + "status", headers=with_cookie)[0], 200)
        self.assertEqual(http(self.page + "stop", data=b"", headers=with_cookie)[0], 403)
        self.assertIsNone(grab.process.poll())
        # A browser given the address with its token keeps it in a cookie.
        browser = self.open_browser(address=self.page + "?token=" + token)
        WebDriverWait(browser, 10).until(lambda b: self.attempts(b, 1))
        browser.get(self.page + "status")
        self.assertIn('"wishes"', browser.find_element(By.TAG_NAME, "body").text)
        self.assertIsNone(grab.process.poll())

    def test_the_33rd_live_page_is_refused_and_the_run_goes_on(self):
        grab = self.start_grab()
        self.assertTrue(grab.page_address())

        def attempts():
            wishes = json.loads(http(self.page + "status")[1] or "{}").get("wishes", [])
            return wishes[0]["attempts"] if wishes else 0

        self.assertTrue(wait_for(attempts, 10))
        pages = []
        self.addCleanup(lambda: [page.close() for page in pages])

        def open_events():
            page = socket.create_connection(("127.0.0.1", self.web_port), timeout=5)
            page.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % self.web_port)
            head = page.recv(12)
            pages.append(page)
            return int(head[9:12])

        for n in range(32):
            self.assertEqual(open_events(), 200, n)
        self.assertEqual(open_events(), 503)
        before = attempts()
        self.assertTrue(wait_for(lambda: attempts() > before, 10))
        self.sim.release(self.dates[0], self.train, "O", 1)
        self.assertTrue(wait_for(lambda: grab.first_line_with("BOOKED"), 20))
        self.assertIsNone(grab.process.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
