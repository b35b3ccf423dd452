#!/usr/bin/python3
"""The inspector in a real browser: headless Chromium driven through chromium-driver.

Starts `hmisim --serve 127.0.0.1:0`, opens the page, clicks the home menu into window
"12", answers its question through the modal, enters a value through an input modal
(after one the modal refuses), runs time, checks that a tag row and a property value in
the DOM show what the trace printed last, and exports a scenario that `hmisim` replays
to the same tag values.

Then each drawn window (panel/drawings/*.svg): a click on a drawn element does what its
handler does, and a drawn element's colour (or place) follows its property; labels stand
on the cards and the drawn elements; pinned tags survive a reload; the page says at once
that the server is gone.

    browser_test.py HMISIM [--screenshot PNG] [--pictures DIR] [--measure]

--pictures writes a picture of each drawn window into DIR (scripts/pictures does, for
docs/screens/).

--measure also reports (never as a pass or fail): the median time from a click to the
updated DOM over 100 clicks, the events per second the page keeps up with while time
runs as fast as it can, and the server's resident memory with 20 pages open after one
simulated hour.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

try:
    from selenium import webdriver
    from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    webdriver = None

PANEL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "panel")
CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
SKIP = 77  # ctest's SKIP_RETURN_CODE


class Server:
    """hmisim --serve on a free port of the loopback; its trace is kept line by line."""

    def __init__(self, hmisim, workdir, extra=()):
        self.proc = subprocess.Popen(
            [hmisim, "--serve", "127.0.0.1:0", "--params", "none", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, cwd=workdir)
        first = self.proc.stdout.readline()
        m = re.match(r"serving (http://127\.0\.0\.1:\d+/)$", first.strip())
        if not m:
            self.proc.kill()
            raise SystemExit(f"hmisim --serve printed {first!r} first, not 'serving URL'")
        self.url = m.group(1)
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.rstrip("\n"))

    def last(self, pattern):
        """The last trace line that matches, as a match object."""
        for line in reversed(self.lines):
            m = re.search(pattern, line)
            if m:
                return m
        return None

    def rss_kib(self):
        with open(f"/proc/{self.proc.pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                "--window-size=1500,1100", "--lang=en-US"):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service(DRIVER), options=options)


class Page:
    def __init__(self, driver, url):
        self.d = driver
        self.url = url
        driver.get(url)
        self.wait_for('[data-window="main"][data-shown="1"]')

    def wait(self, what, condition, timeout=30):
        try:
            return WebDriverWait(self.d, timeout, poll_frequency=0.02).until(lambda d: condition())
        except TimeoutException:
            raise AssertionError(f"timed out waiting for {what}") from None

    def find(self, css):
        found = self.d.find_elements(By.CSS_SELECTOR, css)
        return found[0] if found else None

    def wait_for(self, css, timeout=30):
        return self.wait(css, lambda: self.find(css), timeout)

    def wait_gone(self, css, timeout=30):
        self.wait(f"{css} to go", lambda: not self.find(css), timeout)

    def click(self, css):
        for attempt in range(3):  # the element may be drawn anew between finding and clicking
            try:
                return self.wait_for(css).click()
            except StaleElementReferenceException:
                if attempt == 2:
                    raise

    def widget(self, window, widget):
        return f'[data-window="{window}"][data-shown="1"] [data-widget="{widget}"]'

    def tag(self, name):
        return self.wait_for(f'[data-tag="{name}"]').get_attribute("data-value")

    def prop(self, key):
        return self.wait_for(f'[data-prop="{key}"]').get_attribute("data-value")

    def wait_tag(self, name, value):
        self.wait(f"{name} = {value}", lambda: self.tag(name) == value)

    def pin(self, name):
        self.d.execute_script("document.getElementById('tag-filter').value = arguments[0];"
                              "document.getElementById('tag-filter').dispatchEvent(new Event('input'));",
                              name)
        self.click(f'[data-tag="{name}"] .pin')

    def clock_ms(self):
        return int(self.wait_for("[data-clock]").get_attribute("data-time-ms") or 0)

    def post(self, action, body):
        self.d.set_script_timeout(30)
        return self.d.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch('/api/' + arguments[0], {method: 'POST', headers: {'Content-Type': 'application/json'},"
            " body: JSON.stringify(arguments[1])}).then(r => r.json()).then(done, e => done({error: String(e)}))",
            action, body)

    def only(self, window):
        """Window shown alone (every other drawn window hidden)."""
        for other in drawn_windows():
            if other != window:
                self.post("hide", {"window": other})
        self.post("show", {"window": window})
        return self.wait_for(f'[data-window="{window}"][data-shown="1"] .drawing svg')

    def drawn(self, window, widget, prop=None):
        extra = f'[data-prop="{prop}"]' if prop else ""
        return f'[data-window="{window}"][data-shown="1"] .drawing [data-widget="{widget}"]{extra}'

    def fill(self, css):
        return self.d.execute_script("const e = document.querySelector(arguments[0]);"
                                     "return e ? getComputedStyle(e).fill : null", css)

    def attribute(self, css, name):
        return self.d.execute_script("const e = document.querySelector(arguments[0]);"
                                     "return e ? e.getAttribute(arguments[1]) : null", css, name)


def css_colour(bgr):
    """0xBBGGRR, as the panel writes a colour, as the browser computes it."""
    n = int(bgr, 16)
    return f"rgb({n & 255}, {(n >> 8) & 255}, {(n >> 16) & 255})"


def drawn_windows():
    return sorted(f[:-4] for f in os.listdir(os.path.join(PANEL, "drawings")) if f.endswith(".svg"))


# Each drawn window: what a click on a drawn element does (a tag it sets, or a window it
# shows), and a property that a drawn element follows once a tag is set ("fill": the
# element's colour; "move": its transform, as the contract says).
DRAWN = [
    # window, clicked, ("tag", TAG, VALUE) | ("shown", WINDOW), follows: (widget, prop, key, set TAG, VALUE, how, expected)
    ("main", "bmptext20", ("shown", "12"), None),
    ("12", "text2", ("tag", "dtmain.DP_AUTO", "1"),
     ("ellipse32", "fillcolor", "12_ellipse32_fillcolor", "dtmain.HM202", "1", "fill", None)),
    ("18", "picture35", ("tag", "kelvor.automatic", "0"),
     ("text6", "text", "18_text6_text", "kelvor.x_Real", "500", "move", "translate(150 0)")),
    ("11", "ellipse403", ("tag", "chief.chief_auto", "1"),
     ("rectangle362", None, "11_rectangle362_fillcolor", "chief.KA19", "1", "fill", None)),
    ("17", "gradellipse40", ("tag", "electric.electric_b_0", "1"),
     ("rectangle45", None, "17_rectangle45_fillcolor", "electric.comm1", "1", "fill", None)),
    ("21", "button6", ("shown", "3"),
     ("rectangle15", None, "21_rectangle15_fillcolor", "iotest.DI1", "1", "fill", None)),
    ("3", "button17", ("shown", "21"),
     ("pump413", "opencolor", "3_pump413_opencolor", "face.face0", "0", "fill", None)),
]


def drawings(page):
    """Every shipped drawing: clicks run handlers, drawn colours and places follow."""
    check(sorted(row[0] for row in DRAWN) == drawn_windows(),
          f"a row for each drawing of panel/drawings: {drawn_windows()}")
    for window, clicked, does, follows in DRAWN:
        if follows:
            widget, prop, key, tag, value, how, expected = follows
            page.only(window)
            css = page.drawn(window, widget, prop)
            before = page.prop(key)
            page.post("set", {"tag": tag, "value": value})
            page.wait(f"{key} to change from {before}", lambda: page.prop(key) != before)
            if how == "fill":
                page.wait(f"the fill of {css} to follow {key}",
                          lambda: page.fill(css) == css_colour(page.prop(key)))
            else:
                page.wait(f"{css} to move with {key}", lambda: page.attribute(css, "transform") == expected)
        page.only(window)
        element = page.wait_for(page.drawn(window, clicked))
        label = element.get_attribute("data-label")
        check(label, f"{window} {clicked} carries its label")
        element.click()
        if does[0] == "tag":
            page.wait_tag(does[1], does[2])
        else:
            page.wait_for(f'[data-window="{does[1]}"][data-shown="1"]')


def pictures(page, directory):
    os.makedirs(directory, exist_ok=True)
    page.d.set_window_size(1100, 900)
    page.post("pause", {})
    for window in drawn_windows():
        page.only(window)
        svg = page.wait_for(f'[data-window="{window}"][data-shown="1"] .drawing svg')
        time.sleep(0.3)  # the fonts settle
        svg.screenshot(os.path.join(directory, window + ".png"))


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def tour(page, server, hmisim, workdir, screenshot):
    """What an engineer does: open window 12, answer, enter a value, run time, export."""
    page.click(page.widget("main", "bmptext20"))
    page.wait_for('[data-window="12"][data-shown="1"]')
    page.wait_for('[data-window="main"][data-shown="0"]')
    for name in ("dtmain.num", "dtmain.DP_MANUAL", "dtmain.TimeHour", "dtmain.HV205_TIME"):
        page.pin(name)

    # The question of manual mode, answered yes through the modal.
    page.click(page.widget("12", "text5"))
    box = page.wait_for('[data-dialog="msgbox"]')
    check("手动模式" in box.text, f"the message box shows its text: {box.text!r}")
    check(page.find('[data-dialog="msgbox"] [data-answer="7"]') is not None, "a 'no' button (7)")
    page.click('[data-dialog="msgbox"] [data-answer="6"]')
    page.wait_gone('[data-dialog="msgbox"]')
    page.wait_tag("dtmain.DP_MANUAL", "1")

    # A duration: the dialog window, then an input modal for its hours.
    page.click(page.widget("12", "rectangle135"))
    page.wait_for('[data-window="timeinput"][data-shown="1"]')
    page.click(page.widget("timeinput", "text2"))
    field = page.wait_for('[data-dialog="input"] [data-input]')
    field.send_keys("150")
    page.click('[data-dialog="input"] [data-answer="ok"]')
    refusal = page.wait_for('[data-dialog="input"] .refusal')
    page.wait("the refusal of 150", lambda: "outside" in refusal.text)
    check(page.find('[data-dialog="input"]') is not None, "a value beyond the limits keeps the dialog")
    field.clear()
    field.send_keys("2")
    page.click('[data-dialog="input"] [data-answer="ok"]')
    page.wait_gone('[data-dialog="input"]')
    page.wait_tag("dtmain.TimeHour", "2")
    page.wait("the dialog's hour text", lambda: page.prop("15_text2_text") == '"2"')
    page.click(page.widget("timeinput", "button8"))
    page.wait_for('[data-window="timeinput"][data-shown="0"]')

    # Back to automatic mode; time runs ten seconds as fast as it can.
    page.click(page.widget("12", "text2"))
    page.wait_tag("dtmain.DP_AUTO", "1")
    Select(page.d.find_element(By.ID, "speed")).select_by_value("max")
    duration = page.find("#duration")
    duration.clear()
    duration.send_keys("10s")
    start = page.clock_ms()
    page.click('[data-action="run-for"]')
    page.wait("ten seconds of panel time", lambda: page.clock_ms() >= start + 10000)
    page.wait("the run to end", lambda: page.find("#running").text == "")

    # The DOM shows what the trace printed last (read once the trace has the run's end).
    page.wait("the trace of the run", lambda: server.last(r"^00:00:10\.000 "))
    num = server.last(r"set dtmain\.num = (\d+)")
    colour = server.last(r"prop 12 rectangle130 fillcolor = (0x[0-9A-F]+)")
    check(num and colour, "the trace has the sequencer's writes")
    page.wait_tag("dtmain.num", num.group(1))
    check(page.tag("dtmain.num") != "200", "the sequencer walked on")
    page.wait("rectangle130's colour", lambda: page.prop("12_rectangle130_fillcolor") == colour.group(1))
    page.wait("the watch list's dtmain.num",
              lambda: page.find('[data-watch="dtmain.num"] .value').text == num.group(1))
    check(page.find('#plot path[data-series="dtmain.num"]') is not None, "dtmain.num is plotted")

    if screenshot:
        page.d.execute_script("document.getElementById('tag-filter').value = 'dtmain.*';"
                              "document.getElementById('tag-filter').dispatchEvent(new Event('input'));"
                              "window.scrollTo(0, 0)")
        page.d.save_screenshot(screenshot)

    # The export replays to the same tag values.
    page.click('[data-action="export"]')
    text = page.wait("the scenario", lambda: page.find("[data-export]").text or None)
    check("click 12 manual" in text and "answer msgbox yes" in text and "answer input 2" in text,
          "the export has the clicks and answers:\n" + text)
    check(re.search(r"expect tag dtmain\.num \d+", text), "the export expects the pinned tags")
    path = os.path.join(workdir, "exported.sim")
    with open(path, "w") as f:
        f.write(text + "\n")
    replay = subprocess.run([hmisim, path, "--quiet"], capture_output=True, text=True, cwd=workdir)
    check(replay.returncode == 0, "the export replays with every expectation met:\n"
          + replay.stdout + replay.stderr + "\n--- scenario:\n" + text)
    page.click("#export-close")

    # Labels: on the cards (label first, object name beside) and in the state.
    card = page.wait_for('[data-window="12"][data-shown="1"] .widget[data-widget="text2"]')
    text = card.get_attribute("textContent")
    check(card.get_attribute("data-label") == "automatic", "the automatic card carries its label")
    check(text.startswith("automatictext2"), f"the card shows its label first, then its name: {text!r}")
    check(page.find('[data-window="12"] [data-group="durations"] [data-label="HV203 duration"]'),
          "the cards are grouped as widgets.txt groups them")

    # Pinned tags survive a reload.
    page.d.refresh()
    page.wait_for('[data-watch="dtmain.num"]')


def click_latencies(page, selector, key, count=100):
    """Clicks the element and times each until the property's value changes in the DOM."""
    page.d.set_script_timeout(120)
    return page.d.execute_async_script("""
        const [sel, key, count, done] = arguments;
        const times = [];
        function once() {
          if (times.length === count) return done(times);
          const before = document.querySelector(`[data-prop="${key}"]`).dataset.value;
          const t0 = performance.now();
          const obs = new MutationObserver(() => {
            const now = document.querySelector(`[data-prop="${key}"]`);
            if (now && now.dataset.value !== before) {
              obs.disconnect(); times.push(performance.now() - t0); setTimeout(once, 0);
            }
          });
          obs.observe(document.getElementById('cards'), {subtree: true, childList: true, attributes: true});
          document.querySelector(sel).dispatchEvent(new MouseEvent('click', {bubbles: true}));
        }
        once();""", selector, key, count)


def measure_drawn(page, server):
    """Click to DOM on the drawings of windows 12 and 18; frames a second at full speed."""
    for window, clicked, key in (("12", "ellipse32", "12_ellipse32_fillcolor"),
                                 ("18", "picture35", "18_bmptext10_visible")):
        page.only(window)
        if window == "12":
            page.post("click", {"window": "12", "widget": "text5"})
            page.click('[data-dialog="msgbox"] [data-answer="6"]')
            page.wait_tag("dtmain.DP_MANUAL", "1")
        times = click_latencies(page, page.drawn(window, clicked), key)
        print(f"measure: click on the drawing of window {window} to DOM, median of {len(times)}: "
              f"{statistics.median(times):.1f} ms (min {min(times):.1f}, max {max(times):.1f})")
    page.only("18")
    page.post("click", {"window": "18", "widget": "picture34"})
    page.post("run", {"speed": "max"})
    page.d.set_script_timeout(30)
    frames = page.d.execute_async_script("""
        const done = arguments[arguments.length - 1];
        let frames = 0; const flushes0 = window.hmiInspector.stats.flushes || 0;
        const t0 = performance.now();
        function tick() {
          frames++;
          if (performance.now() - t0 < 5000) requestAnimationFrame(tick);
          else done({frames, seconds: (performance.now() - t0) / 1000,
                     flushes: (window.hmiInspector.stats.flushes || 0) - flushes0});
        }
        requestAnimationFrame(tick);""")
    page.post("pause", {})
    print(f"measure: window 18 drawn, as fast as possible: {frames['frames'] / frames['seconds']:.0f} frames/s, "
          f"{frames['flushes'] / frames['seconds']:.0f} of them drawing new values (headless Chromium)")


def measure_pages(hmisim, workdir, driver):
    # A server whose trace is not printed: the terminal is not what is measured.
    server = Server(hmisim, workdir, ["--quiet"])
    page = Page(driver, server.url)
    try:
        measure_speed(page, server, driver)
    finally:
        server.stop()


def measure_speed(page, server, driver):
    # Events a second the page keeps up with, as fast as time runs, window 18 shown.
    page.d.execute_script("fetch('/api/show', {method: 'POST', headers: {'Content-Type': 'application/json'},"
                          "body: JSON.stringify({window: '18'})})")
    page.wait_for('[data-window="18"][data-shown="1"]')
    stats = lambda: page.d.execute_script("return Object.assign({}, window.hmiInspector.stats)")
    seq = lambda: page.d.execute_script("return fetch('/api/state').then(r => r.json()).then(s => s.seq)")
    before, t0, clock0, seq0 = stats(), time.time(), page.clock_ms(), seq()
    page.d.execute_script("fetch('/api/run', {method: 'POST', headers: {'Content-Type': 'application/json'},"
                          "body: JSON.stringify({speed: 'max'})})")
    time.sleep(10)
    page.d.execute_script("fetch('/api/pause', {method: 'POST'})")
    seconds = time.time() - t0
    time.sleep(1)
    after = stats()
    simulated = (page.clock_ms() - clock0) / 1000
    received = after["received"] - before["received"]
    produced = seq() - seq0
    print(f"measure: as fast as possible with window 18: {received / seconds:,.0f} events/s reached the "
          f"page over {seconds:.1f} s ({produced / seconds:,.0f} messages/s sent; {simulated:,.0f} s of "
          f"panel time; {after['resyncs'] - before['resyncs']} resyncs)")

    # Twenty pages, then one simulated hour.
    handles = [driver.current_window_handle]
    for _ in range(19):
        driver.switch_to.new_window("tab")
        driver.get(page.url)
        handles.append(driver.current_window_handle)
    for h in handles:
        driver.switch_to.window(h)
        page.wait_for('[data-window="main"]')
    driver.switch_to.window(handles[0])
    print(f"measure: {len(handles)} pages open, streams: "
          + ", ".join(sorted({driver.switch_to.window(h) or
                              driver.execute_script("return window.hmiInspector.streamMode")
                              for h in handles})))
    driver.switch_to.window(handles[0])
    clock0 = page.clock_ms()
    page.d.execute_script("fetch('/api/run', {method: 'POST', headers: {'Content-Type': 'application/json'},"
                          "body: JSON.stringify({ms: 3600000, speed: 'max'})})")
    page.wait("one simulated hour", lambda: page.clock_ms() >= clock0 + 3600000 - 1 and
              page.find("#running").text == "", timeout=600)
    time.sleep(1)
    print(f"measure: resident memory of hmisim with 20 pages open after one simulated hour: "
          f"{server.rss_kib() / 1024:.1f} MiB")


def measure_streams(hmisim, workdir):
    """Twenty pages as twenty separate event streams (twenty browsers), each read as it
    comes, while window 18 runs for one simulated hour as fast as it can."""
    import json
    import socket
    import urllib.request
    server = Server(hmisim, workdir, ["--quiet"])
    port = int(server.url.rsplit(":", 1)[1].strip("/"))
    received = [0] * 20
    socks = []

    def reader(i, sock):
        while True:
            try:
                data = sock.recv(65536)
            except OSError:
                return
            if not data:
                return
            received[i] += len(data)

    for i in range(20):
        sock = socket.create_connection(("127.0.0.1", port))
        sock.sendall(f"GET /api/events HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())
        socks.append(sock)
        threading.Thread(target=reader, args=(i, sock), daemon=True).start()

    def post(action, body):
        req = urllib.request.Request(server.url + "api/" + action, data=json.dumps(body).encode(),
                                     headers={"Content-Type": "application/json"})
        return json.load(urllib.request.urlopen(req, timeout=600))

    post("show", {"window": "18"})
    t0 = time.time()
    post("run", {"ms": 3600000, "speed": "max", "wait": True})
    seconds = time.time() - t0
    time.sleep(1)
    print(f"measure: 20 separate event streams, one simulated hour of window 18 in {seconds:.1f} s: "
          f"resident memory {server.rss_kib() / 1024:.1f} MiB; each stream received "
          f"{min(received) / 1e6:.1f} to {max(received) / 1e6:.1f} MB")
    for sock in socks:
        sock.close()
    server.stop()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("hmisim")
    ap.add_argument("--screenshot")
    ap.add_argument("--pictures")
    ap.add_argument("--measure", action="store_true")
    args = ap.parse_args()
    if webdriver is None or not os.path.exists(CHROMIUM) or not os.path.exists(DRIVER):
        missing = ("the browser test needs chromium, chromium-driver and python3-selenium "
                   "(scripts/setup browser installs them)")
        if os.environ.get("HMI_REQUIRE_BROWSER") == "1":  # CI: never skipped there
            print("FAIL:", missing)
            return 1
        print("SKIPPED:", missing)
        return SKIP
    hmisim = os.path.abspath(args.hmisim)
    with tempfile.TemporaryDirectory(prefix="hmisim-browser-") as workdir:
        server = Server(hmisim, workdir)
        driver = browser()
        try:
            page = Page(driver, server.url)
            tour(page, server, hmisim, workdir, args.screenshot)
            drawings(page)
            if args.pictures:
                pictures(page, args.pictures)
            if args.measure:
                measure_drawn(page, server)
                measure_pages(hmisim, workdir, driver)
                measure_streams(hmisim, workdir)
        except AssertionError as e:
            print("FAIL:", e)
            try:
                print("server:", subprocess.run(["curl", "-s", server.url + "api/state"], capture_output=True,
                                                text=True).stdout[:150])
                print("page:", driver.execute_script(
                    "return JSON.stringify({stats: window.hmiInspector.stats, mode: window.hmiInspector.streamMode,"
                    " clock: document.querySelector('[data-clock]').outerHTML,"
                    " running: document.getElementById('running').textContent,"
                    " message: document.getElementById('message').textContent})"))
                for entry in driver.get_log("browser"):
                    print("console:", entry)
            except Exception as e2:  # the page may be gone
                print("page: not readable:", e2)
            print("--- the trace's last lines:\n" + "\n".join(server.lines[-30:]))
            server.stop()
            driver.quit()
            return 1
        finally:
            server.stop()
        try:
            # The server gone: the page says so (measured from the server's end).
            t0 = time.time()
            page.wait("the page to see the server gone",
                      lambda: page.d.find_element(By.TAG_NAME, "body").get_attribute("data-connection") == "lost",
                      timeout=10)
            print(f"browser test: the page saw the server gone after {time.time() - t0:.2f} s")
            check(page.find("#lost").is_displayed(), "the page says the connection is lost")
        except AssertionError as e:
            print("FAIL:", e)
            return 1
        finally:
            driver.quit()
    print("browser test: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
