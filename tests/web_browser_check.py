#!/usr/bin/env python3
"""Drives Debian's Chromium (headless, through chromedriver) against the
dashboard of a running Pitlink. Usage: web_browser_check.py URL TRACK SHOTS_DIR

Talks to the test that started it one line at a time: it prints what it has
seen ("FAIL ..." on a failure); after "pressed macro 1" it waits for the line
"heard" on stdin, after "restart" for "restarted"."""
import shutil
import sys
import tempfile
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


def main():
    url, track, shots = sys.argv[1], sys.argv[2], sys.argv[3]
    profile = tempfile.mkdtemp(prefix="pitlink-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--no-sandbox", "--headless", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--user-data-dir=" + profile, "--window-size=1280,1000"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_page_load_timeout(STEP_DEADLINE_S)
        emulate(driver, 412, 915, True)
        driver.get(url)
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
        if sys.stdin.readline().strip() != "heard":
            fail("the substitute got no macro")

        say("restart")
        if sys.stdin.readline().strip() != "restarted":
            fail("no restart")
        started = time.monotonic()
        live_and_moving(driver, RESTART_DEADLINE_S, "after the restart")
        say("live again after %.1f s" % (time.monotonic() - started))

        emulate(driver, 1280, 800, False)
        time.sleep(0.5)
        driver.save_screenshot(shots + "/dashboard-tablet-1280x800.png")
        say("done")
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    main()
