#!/usr/bin/python3
"""The phone page in a real browser against the running program and the simulated dongle.

usage: phone_e2e.py URL TOKEN_FILE FRAMES_LOG SIM_COMMANDS ORVANE_CTL ARTIFACT_DIR ORVANE PID

Controls are found by their accessible names, as a screen reader finds them; frames are read on
the simulator's line. Prints the figures it measured in the page with performance.now().
"""
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

url, token_file, frames_log, sim_commands, ctl, artifacts, orvane = sys.argv[1:8]
orvane_pid = int(sys.argv[8])
restarted = []
token = open(token_file).read().strip()
drivers = []


def fail(message):
    for driver in drivers:
        try:
            message += " [page says: %s]" % driver.find_element(By.ID, "error").text
        except Exception:  # the page may be gone with the browser
            pass
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def step(message):
    print("-- " + message, flush=True)


def new_page(fragment=""):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                "--no-first-run", "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--window-size=360,640",
                "--user-data-dir=" + tempfile.mkdtemp(prefix="chromium-", dir=os.getcwd())):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    drivers.append(driver)
    driver.set_window_size(360, 640)
    driver.get(url + "/" + fragment)
    return driver


def wait(driver, what, condition, seconds=5):
    try:
        return WebDriverWait(driver, seconds, poll_frequency=0.01).until(lambda d: condition())
    except TimeoutException:
        fail("waited %s s for %s" % (seconds, what))


def named(scope, name):
    """The visible control whose accessible name is NAME, as the browser computes it (read only
    where neither a label attribute nor the text gives it: each reading is a round trip)."""
    for element in scope.find_elements(By.CSS_SELECTOR, "button, input, select, output, [role]"):
        label = element.get_attribute("aria-label") or element.text.strip() or element.accessible_name
        if label == name and element.is_displayed():
            return element
    return None


def card(driver, channel):
    return driver.find_element(By.CSS_SELECTOR, '.unit[data-channel="%d"]' % channel)


def read_out(driver, channel, kind="Flash Power"):
    return named(card(driver, channel), kind + " value").text


def frames(line):
    return sum(1 for row in open(frames_log) if row.rstrip().endswith(" in " + line))


def await_frame(line, count):
    deadline = time.monotonic() + 5
    while frames(line) < count:
        if time.monotonic() > deadline:
            fail("the dongle received %d frames \"%s\", wanted %d" % (frames(line), line, count))
        time.sleep(0.01)


def p99(values):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(0.99 * (len(ordered) - 1))))]


def figures(name, values):
    print("%s: n=%d median %.1f ms, p99 %.1f ms, max %.1f ms"
          % (name, len(values), statistics.median(values), p99(values), max(values)), flush=True)


def pair_and_scan():
    page = new_page("#token=" + token)
    wait(page, "the link state", lambda: page.find_element(By.ID, "link").text == "Zigbee connected")
    if "token" in page.current_url:
        fail("the token stayed in the address bar: " + page.current_url)
    if page.execute_script("return localStorage.getItem('orvane-token')") != token:
        fail("the token was not kept in the browser")
    if page.find_element(By.ID, "link").get_attribute("role") != "status":
        fail("the link state is not a live status region")
    step("paired by the address; the token left the address bar")
    named(page, "Studio A").click()
    wait(page, "Studio A chosen", lambda: named(page, "Studio A").get_attribute("aria-pressed") == "true")
    wait(page, "Scan enabled", lambda: named(page, "Scan").is_enabled(), 10)
    named(page, "Scan").click()
    wait(page, "four cards", lambda: len(page.find_elements(By.CSS_SELECTOR, ".unit")) == 4
         and frames("FF 05 00 00 41") >= 1, 15)
    # Nothing acts while the scan runs: the page gives Scan back when it has ended.
    wait(page, "the end of the scan", lambda: named(page, "Scan").is_enabled(), 15)
    names = [e.text for e in page.find_elements(By.CSS_SELECTOR, ".unit h3")]
    if [n[:5] for n in names] != ["CH-01", "CH-02", "CH-03", "CH-07"]:
        fail("the cards are " + repr(names))
    if read_out(page, 1) != "5.6" or read_out(page, 3) != "7.0":
        fail("the read-outs show %s and %s" % (read_out(page, 1), read_out(page, 3)))
    step("scanned Studio A from the page: " + ", ".join(names))
    usable_by_touch_and_voice(page)
    return page


def usable_by_touch_and_voice(page):
    small = page.execute_script("""
        return [...document.querySelectorAll('button, select, input:not([type=checkbox]), label')]
            .filter((e) => e.offsetParent !== null && e.getBoundingClientRect().height < 44)
            .map((e) => e.outerHTML.slice(0, 80));""")
    if small:
        fail("controls lower than 44 px: %s" % small)
    nameless = [e.get_attribute("outerHTML")[:80]
                for e in page.find_elements(By.CSS_SELECTOR, "button, input, select")
                if e.is_displayed() and not e.accessible_name.strip()]
    if nameless:
        fail("controls without an accessible name: %s" % nameless)
    step("every control is 44 px high or more and has an accessible name")


def step_flash(page):
    named(card(page, 1), "Flash Power up 0.1").click()
    await_frame("FF 07 13 00 01 39 29", 1)
    wait(page, "5.7 on CH-01", lambda: read_out(page, 1) == "5.7")
    step("Flash Power up 0.1 on CH-01 sent FF 07 13 00 01 39 29")
    # Taps for the figures: down and up again, each waited for.
    for i in range(30):
        name, want = ("Flash Power down 0.1", "5.6") if i % 2 == 0 else ("Flash Power up 0.1", "5.7")
        named(card(page, 1), name).click()
        wait(page, want + " on CH-01", lambda: read_out(page, 1) == want)
    figures("tap -> answer (frame already on the line)",
            page.execute_script("return window.orvaneMetrics.taps"))


def ctl_and_second_page(page):
    subprocess.run([ctl, "--url", url, "set", "2", "flash", "4.0"], check=True, capture_output=True)
    wait(page, "the change of orvane-ctl", lambda: read_out(page, 2) == "4.0")
    step("a change made with orvane-ctl showed on the page")
    other = new_page()  # the browser of the same profile is not shared: pair it as a second phone
    other.execute_script("localStorage.setItem('orvane-token', arguments[0])", token)
    other.get(url + "/")
    wait(other, "the cards on the second page",
         lambda: len(other.find_elements(By.CSS_SELECTOR, ".unit")) == 4, 10)
    first_render = other.execute_script("return window.orvaneMetrics.firstRender")
    named(card(other, 7), "Flash Power down 1").click()
    wait(page, "the second page's change on the first", lambda: read_out(page, 7) == "2.3")
    named(card(page, 7), "Flash Power up 1").click()
    wait(other, "the first page's change on the second", lambda: read_out(other, 7) == "3.3")
    step("two pages stay in step")
    return other, first_render


# Where the simulator's log starts on this machine's monotonic clock: its lines carry the time since
# it opened the log. The report a command makes is logged after the command was written, so each
# gives a bound from below; the largest is the closest. A figure on the log's clock may read low
# by the simulator's quickest answer to a command (below the report figure) and its whole
# milliseconds.
log_start = [None]


def calibrate(told_ms, new_lines):
    for line in new_lines:
        if " out " in line:
            bound = told_ms - float(line.split()[0]) * 1000
            log_start[0] = bound if log_start[0] is None else max(log_start[0], bound)
            return


def taps_on_the_line(page):
    """Each tap to the moment the simulator had read its frame's last byte, on the log's clock."""
    tapped = [t["at"] for t in page.execute_script("return window.orvaneMetrics.tappedAt")
              if t["channel"] == 1]
    wall_minus_mono = time.time() * 1000 - time.monotonic() * 1000
    frames_of_ch01 = [float(row.split()[0]) * 1000 for row in open(frames_log)
                      if " in FF 07 13 00 01 " in row]
    if log_start[0] is None or len(frames_of_ch01) < len(tapped):
        fail("cannot pair %d taps with %d frames" % (len(tapped), len(frames_of_ch01)))
    figures("tap -> frame's last byte read by the simulator (log clock, +-1 ms)",
            [log_start[0] + at - (t - wall_minus_mono)
             for t, at in zip(tapped, frames_of_ch01)])


def reports(page):
    """The unit's overheat report, from the simulator, until the page shows it."""
    delays = []
    with open(sim_commands, "w") as commands:
        for i in range(20):
            hot = i % 2 == 0
            before = len(page.execute_script("return window.orvaneMetrics.shown"))
            lines = len(open(frames_log).readlines())
            sent = time.time() * 1000
            told = time.monotonic() * 1000
            commands.write("heat A 1 %d\n" % (90 if hot else 0))
            commands.flush()
            wait(page, "the heat report", lambda: card(page, 2).find_element(
                By.CSS_SELECTOR, ".heat").text == ("Overheat" if hot else ""))
            shown = page.execute_script("return window.orvaneMetrics.shown")[before:]
            at = [s["at"] for s in shown if s["channel"] == 2 and s["unit"]["overheat"] == hot]
            if at:
                delays.append(at[0] - sent)
            calibrate(told, open(frames_log).readlines()[lines:])
    if not delays:
        fail("no report was seen on the page")
    figures("unit report -> page shows it (from the simulator's command)", delays)
    step("the units' overheat reports showed as \"Overheat\" on CH-02")


def group_and_marks(page):
    for channel in (1, 2):
        named(card(page, channel), "Tick CH-%02d" % channel).click()
    wait(page, "two ticked units", lambda: all(
        named(card(page, c), "Tick CH-%02d" % c).is_selected() for c in (1, 2)))
    flashes = {c: float(read_out(page, c)) for c in (1, 2)}
    named(page, "Group Flash Power up 0.1").click()
    wait(page, "the ticked units 0.1 up", lambda: all(
        read_out(page, c) == "%.1f" % (flashes[c] + 0.1) for c in (1, 2)))
    step("the group row moved the ticked CH-01 and CH-02 up by 0.1")
    # The slider sends when let go: from the keyboard, each key is one change.
    slider = named(card(page, 2), "Flash Power")
    before = float(read_out(page, 2))
    slider.send_keys(Keys.ARROW_RIGHT)
    wait(page, "the slider's change", lambda: read_out(page, 2) == "%.1f" % (before + 0.1))
    step("the slider moved CH-02 by one step")
    # A unit that stops answering: the page says so in words, as the window marks it.
    with open(sim_commands, "w") as commands:
        commands.write("mute A 6\n")
        commands.flush()
        named(card(page, 7), "Flash Power up 0.1").click()
        mark = lambda: card(page, 7).find_element(By.CSS_SELECTOR, ".mark").text
        wait(page, "the unconfirmed mark", lambda: mark() == "Change not confirmed by the unit")
        commands.write("unmute A 6\n")
        commands.flush()
    named(card(page, 7), "Flash Power down 0.1").click()
    wait(page, "the mark gone once the unit answers", lambda: mark() == "")
    step("CH-07 muted: \"Change not confirmed by the unit\" on its card, gone when it answers")


def undo_and_setups(page):
    named(card(page, 3), "Flash Power down 1").click()
    await_frame("FF 07 13 00 04 3C 3E", 1)
    undo = page.find_element(By.ID, "undo")
    wait(page, "Undo naming its step", lambda: undo.text == "Undo Flash Power CH-03 7.0 → 6.0")
    undo.click()
    wait(page, "the undone step", lambda: read_out(page, 3) == "7.0")
    await_frame("FF 07 13 00 04 46 3E", 1)
    wait(page, "Redo naming its step",
         lambda: page.find_element(By.ID, "redo").text == "Redo Flash Power CH-03 7.0 → 6.0")
    step("Undo from the page, named by its step: CH-03 back to 7.0 on the line")
    page.find_element(By.ID, "title").send_keys("Phone")
    named(page, "Save").click()
    wait(page, "the saved setup", lambda: "Phone" in [o.text for o in page.find_elements(By.CSS_SELECTOR, "#setup-list option")])
    named(page, "Load").click()
    alert = WebDriverWait(page, 5).until(lambda d: d.switch_to.alert)
    if alert.text != "Current settig is deleted. Do you want to open file?":
        fail("Load asked " + alert.text)
    alert.accept()
    await_frame_start("FF 0E 01 00")
    step("saved \"Phone\" and loaded it back after the window's question")


def await_frame_start(prefix):
    deadline = time.monotonic() + 5
    while not any((" in " + prefix) in row for row in open(frames_log)):
        if time.monotonic() > deadline:
            fail("no frame starting " + prefix)
        time.sleep(0.01)


def wrong_token(page):
    page.get(url + "/#token=0123456789abcdef0123456789abcdef")
    field = wait(page, "the Token field", lambda: named(page, "Token") or None)
    if not named(page, "Connect"):
        fail("no Connect button")
    field.send_keys(token)
    named(page, "Connect").click()
    wait(page, "the link state after pairing by hand",
         lambda: page.find_element(By.ID, "link").text == "Zigbee connected")
    step("a wrong token brought back the Token field; the right one typed in connects")


def program_restarts(page):
    """The program goes away and comes back on the same port: the page says so, tries again at
    growing pauses, and catches up."""
    os.kill(orvane_pid, signal.SIGKILL)
    seen = []

    def note():
        text = page.find_element(By.ID, "link").text
        if not seen or seen[-1] != text:
            seen.append(text)
        return False

    try:
        WebDriverWait(page, 4, poll_frequency=0.05).until(lambda d: note())
    except TimeoutException:
        pass
    pauses = [int(t.split()[-2]) for t in seen if t.startswith("Orvane not reachable")]
    if len(pauses) < 2 or pauses != sorted(pauses) or pauses[-1] <= pauses[0]:
        fail("the page said %s while the program was away" % seen)
    port = url.rsplit(":", 1)[1]
    with open("orvane-again.log", "w") as log:
        restarted.append(subprocess.Popen([orvane, "--remote", port], stdout=log, stderr=log,
                                          env=dict(os.environ, QT_QPA_PLATFORM="xcb")))
    wait(page, "the page back with the program", lambda: page.find_element(By.ID, "link").text
         == "Zigbee connected", 20)
    wait(page, "no cards of the program that went", lambda: not page.find_elements(By.CSS_SELECTOR, ".unit"))
    step("program gone: the page said %s; back on the same port, it caught up" % " / ".join(seen))


def sizes():
    total = 0
    for path in ("/", "/app.css", "/app.js", "/icon.svg"):
        with urllib.request.urlopen(url + path) as answer:
            body = answer.read()
            if answer.headers["Content-Security-Policy"] != "default-src 'self'":
                fail(path + " came without the page's security policy")
            total += len(body)
    print("page and its files: %d bytes (%.1f KB)" % (total, total / 1024), flush=True)
    if total > 100 * 1024:
        fail("the page and its files weigh more than 100 KB")


def main():
    try:
        page = pair_and_scan()
        # The phone's own screen, without the desktop window's frame around it.
        page.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 360, "height": 640, "deviceScaleFactor": 1, "mobile": True})
        for scheme in ("dark", "light"):
            page.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                "features": [{"name": "prefers-color-scheme", "value": scheme}]})
            page.save_screenshot(os.path.join(artifacts, "phone-remote-%s.png" % scheme))
        page.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        step_flash(page)
        other, first_render = ctl_and_second_page(page)
        print("first render over loopback: %.0f ms" % first_render, flush=True)
        reports(page)
        taps_on_the_line(page)
        group_and_marks(page)
        undo_and_setups(page)
        wrong_token(other)
        sizes()
        program_restarts(page)
    finally:
        for driver in drivers:
            driver.quit()
        for program in restarted:
            program.kill()
            program.wait()
    print("PASS", flush=True)


main()
