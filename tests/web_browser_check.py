#!/usr/bin/env python3
"""Drives Debian's Chromium (headless, through chromedriver) against the
dashboard of a running Pitlink. Usage:
web_browser_check.py PAIRING_URL TRACK SHOTS_DIR

Talks to the test that started it one line at a time: it prints what it has
seen ("FAIL ..." on a failure); after "pressed macro 1" it waits for the line
"heard" on stdin; after "attacked" and "unpaired pressed" for "unheard";
after "restart" for "restarted", after "new code" for "renewed"."""
import http.server
import shutil
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

RESTART_DEADLINE_S = 5.0
STEP_DEADLINE_S = 10.0


def say(line):
    print(line, flush=True)


def fail(what):
    say("FAIL " + what)
    raise SystemExit(1)


def wait_for(condition, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            value = condition()
            if value:
                return value
        except Exception:  # the page is being redrawn
            pass
        time.sleep(0.05)
    fail(what)


def tile(driver, tile_id):
    return driver.find_element(By.CSS_SELECTOR, '.tile[data-id="%s"] .value' % tile_id).text


def live_and_moving(driver, seconds, what):
    """The page says "live" and its speed tile changes twice."""
    wait_for(lambda: driver.find_element(By.ID, "status").text == "live", seconds, what + ": not live")
    seen = [tile(driver, "speed")]

    def changed():
        now = tile(driver, "speed")
        if now and now != seen[-1]:
            seen.append(now)
        return len(seen) >= 3

    wait_for(changed, seconds, what + ": speed does not change")
    return seen


def emulate(driver, width, height, mobile):
    """A viewport of exactly this size (a headless window has a minimum
    width and takes its frame off the height)."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})


# Every way a page of another site can send a request without asking first,
# and one that asks (its preflight is never granted), each against /press.
ATTACK_PAGE = """<!DOCTYPE html><html><body>
<iframe name="sink" style="display:none"></iframe>
<form id="plain" method="POST" action="TARGET" target="sink"><input name="macro" value="2"></form>
<form id="text" method="POST" action="TARGET" target="sink" enctype="text/plain">
<input name='{"macro":2,"x":"' value='"}'></form>
<form id="top" method="POST" action="TARGET" enctype="text/plain">
<input name='{"macro":2,"x":"' value='"}'></form>
<script>
var body = '{"macro":2}';
fetch("TARGET", {method: "POST", mode: "no-cors", credentials: "include", body: body}).catch(function () {});
fetch("TARGET", {method: "POST", credentials: "include", headers: {"Content-Type": "application/json"},
                 body: body}).catch(function () {});
navigator.sendBeacon("TARGET", new Blob([body], {type: "text/plain"}));
document.getElementById("plain").submit();
document.getElementById("text").submit();
setTimeout(function () { document.getElementById("top").submit(); }, 1500);
</script></body></html>"""


def serve_attack_page(target):
    """The attacker's page on a loopback port of its own; returns its URL."""
    page = ATTACK_PAGE.replace("TARGET", target).encode()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)

        def log_message(self, *args):
            pass

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return "http://127.0.0.1:%d/" % server.server_port


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--no-sandbox", "--headless", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--user-data-dir=" + profile, "--window-size=1280,1000"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(STEP_DEADLINE_S)
    return driver


def expect_line(line, what):
    if sys.stdin.readline().strip() != line:
        fail(what)


def shows_pairing_page(driver):
    return "Scan the code" in driver.find_element(By.TAG_NAME, "body").text


def check_unpaired(base):
    """A browser that never paired gets the page that says how, and cannot press."""
    profile = tempfile.mkdtemp(prefix="pitlink-chromium-")
    driver = start_browser(profile)
    try:
        driver.get(base)
        wait_for(lambda: shows_pairing_page(driver), STEP_DEADLINE_S, "an unpaired browser sees no pairing page")
        status = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            fetch("/press", {method: "POST", headers: {"Content-Type": "application/json"},
                             body: '{"macro":3}'}).then(function (r) { done(r.status); });""")
        if status != 403:
            fail("an unpaired press got %s" % status)
        say("unpaired pressed")
        expect_line("unheard", "an unpaired browser played a macro")
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def main():
    url, track, shots = sys.argv[1], sys.argv[2], sys.argv[3]
    base = url.split("?")[0]
    profile = tempfile.mkdtemp(prefix="pitlink-chromium-")
    driver = start_browser(profile)
    try:
        emulate(driver, 412, 915, True)
        driver.get(url)
        if driver.current_url != base:
            fail("the token stays in the address bar: %s" % driver.current_url)
        wait_for(lambda: driver.find_element(By.ID, "track").text == track, STEP_DEADLINE_S,
                 "track name %r not shown" % track)
        live_and_moving(driver, STEP_DEADLINE_S, "first load")
        wait_for(lambda: len(driver.find_elements(By.CSS_SELECTOR, "#standings tr")) > 0,
                 STEP_DEADLINE_S, "no standings")
        driver.save_screenshot(shots + "/dashboard-phone-412x915.png")
        say("seen track and speed")

        buttons = wait_for(lambda: driver.find_elements(By.CSS_SELECTOR, "button.macro"),
                           STEP_DEADLINE_S, "no macro buttons")
        buttons[0].click()
        say("pressed macro 1")
        expect_line("heard", "the substitute got no macro")

        driver.get(serve_attack_page(base + "press"))
        time.sleep(2.5)  # the top-level form goes last
        say("attacked")
        expect_line("unheard", "another site's page played a macro")
        driver.get(base)

        say("restart")
        if sys.stdin.readline().strip() != "restarted":
            fail("no restart")
        started = time.monotonic()
        live_and_moving(driver, RESTART_DEADLINE_S, "after the restart")
        say("live again after %.1f s" % (time.monotonic() - started))

        emulate(driver, 1280, 800, False)
        time.sleep(0.5)
        driver.save_screenshot(shots + "/dashboard-tablet-1280x800.png")

        say("new code")
        expect_line("renewed", "no new code")
        wait_for(lambda: shows_pairing_page(driver), RESTART_DEADLINE_S, "an open page stays paired after a new code")
        check_unpaired(base)
        say("done")
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    main()
