#!/usr/bin/python3
"""The zenlet page in a real browser, as a newcomer uses it: log in through the emulator's page
in the new tab, confirm the message boxes, post a status through the permission page, open the
notifications drop-down and pick a line. And the page's server refuses every request that
lacks the token.

Debian's chromium, headless, driven through Debian's chromedriver by Debian's python3-selenium
(tools/install-deps.sh installs all three), so the driver always matches the browser:

    ZENLET_PROGRAM=build/dev/tools/zenlet/zenlet /usr/bin/python3 page_test.py

A missing piece is a failure that names it, never a skip.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

BROWSER = os.environ.get("ZENLET_BROWSER", "/usr/bin/chromium")
BROWSER_DRIVER = os.environ.get("ZENLET_BROWSER_DRIVER", "/usr/bin/chromedriver")
PROGRAM = os.environ.get("ZENLET_PROGRAM", "")

try:
    from selenium import webdriver
    from selenium.common.exceptions import StaleElementReferenceException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common import utils
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError as missing:
    sys.exit(f"python3-selenium is missing ({missing}): tools/install-deps.sh installs it")


def http_status(url, data=None):
    """The status of one request, error statuses included."""
    try:
        with urllib.request.urlopen(urllib.request.Request(url, data=data), timeout=10) as answer:
            return answer.status
    except urllib.error.HTTPError as refused:
        return refused.code


class LoopbackService(Service):
    """chromedriver at 127.0.0.1 rather than at the bindings' default name, localhost."""

    @property
    def service_url(self):
        return f"http://127.0.0.1:{self.port}"

    def is_connectable(self):
        return utils.is_connectable(self.port, "127.0.0.1")


class Zenlet:
    """zenlet serving its page on a free port, with a data folder of its own."""

    def __init__(self, scratch):
        self.process = subprocess.Popen(
            [PROGRAM, "--data-dir", scratch], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            text=True)
        self.errors = []
        threading.Thread(target=lambda: self.errors.extend(self.process.stderr), daemon=True).start()
        self.address = self.process.stdout.readline().strip()
        if not self.address:
            self.process.wait(timeout=10)
            raise AssertionError("zenlet ended before serving: " + "".join(self.errors))

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=10)


class PageInABrowser(unittest.TestCase):
    def setUp(self):
        for path, package in ((PROGRAM, "the dev build (ZENLET_PROGRAM)"),
                              (BROWSER, "chromium"), (BROWSER_DRIVER, "chromium-driver")):
            self.assertTrue(path and os.access(path, os.X_OK),
                            f"{path or 'zenlet'} is missing: {package} is needed "
                            "(tools/install-deps.sh installs the packages)")
        self.scratch = tempfile.mkdtemp(prefix="zenlet-page-")
        self.addCleanup(shutil.rmtree, self.scratch, ignore_errors=True)

    def launch_browser(self):
        """Headless chromium with a fresh profile, and chromedriver attached to it. Both are
        reached at 127.0.0.1 by number: chromedriver's own way to its browser, and the
        bindings' way to chromedriver, go through the name localhost, which a minimal Debian
        root cannot resolve (it has no /etc/hosts)."""
        profile = os.path.join(self.scratch, "profile")
        chromium = subprocess.Popen(
            [BROWSER, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--remote-debugging-address=127.0.0.1",
             "--remote-debugging-port=0", "--user-data-dir=" + profile, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def stop_chromium():
            chromium.kill()
            chromium.wait(timeout=10)
        self.addCleanup(stop_chromium)
        port_file = os.path.join(profile, "DevToolsActivePort")
        for _ in range(300):
            if os.path.exists(port_file) and open(port_file).readline().strip():
                break
            self.assertIsNone(chromium.poll(), f"{BROWSER} ended at start")
            time.sleep(0.1)
        else:
            self.fail(f"{BROWSER} opened no debugging port within 30 s")
        options = webdriver.ChromeOptions()
        options.debugger_address = "127.0.0.1:" + open(port_file).readline().strip()
        service = LoopbackService(BROWSER_DRIVER, log_path=os.path.join(self.scratch, "chromedriver.log"))
        browser = webdriver.Chrome(service=service, options=options)
        self.addCleanup(browser.quit)
        return browser

    # --- waiting as a user does --------------------------------------------------------------

    def wait_for(self, browser, what, condition, timeout=20):
        """The first truthy answer of `condition`; fails naming `what` after `timeout` s."""
        def attempt(_):
            try:
                return condition()
            except StaleElementReferenceException:
                return None  # the page redrew it; look again
        return WebDriverWait(browser, timeout, poll_frequency=0.1).until(
            attempt, f"{what} within {timeout} s")

    def element(self, browser, css, text=None, pattern=None, timeout=20):
        """The first element matching `css` whose text contains `text` or matches `pattern`.
        The page redraws a window at every toolbar event, so elements are looked up anew by
        their full selector rather than kept."""
        def find():
            for found in browser.find_elements(By.CSS_SELECTOR, css):
                shown = found.text.strip()
                if (text is None or text in shown) and (pattern is None or re.match(pattern, shown)):
                    return found
            return None
        return self.wait_for(browser, f"{css} {text or pattern or ''}".strip(), find, timeout)

    def confirm(self, browser, text):
        """Clicks OK in the open message box that says `text`, and sees it close."""
        box = self.element(browser, "dialog.msgbox[open]", text)
        box.find_element(By.CSS_SELECTOR, "button.ok").click()
        self.wait_for(browser, f"the box '{text}' closing",
                      lambda: not any(text in b.text for b in
                                      browser.find_elements(By.CSS_SELECTOR, "dialog.msgbox[open]")))

    def in_new_tab(self, browser, action):
        """Runs `action`, which opens a tab; returns with the browser in that tab, loaded."""
        main = browser.current_window_handle
        before = set(browser.window_handles)
        action()
        tab = self.wait_for(browser, "a new tab",
                            lambda: next(iter(set(browser.window_handles) - before), None))
        browser.switch_to.window(tab)
        self.wait_for(browser, "the new tab loading",
                      lambda: browser.execute_script("return document.readyState") == "complete")
        return main

    def back_to(self, browser, main):
        browser.switch_to.window(main)

    # --- the session ------------------------------------------------------------------------

    def test_a_first_session_login_status_drop_down(self):
        zenlet = Zenlet(os.path.join(self.scratch, "data"))
        self.addCleanup(zenlet.stop)
        self.assertRegex(zenlet.address, r"^http://127\.0\.0\.1:\d+/\?token=[0-9a-f]{32}$")
        origin = zenlet.address.split("/?")[0]

        # Without the token nothing is served and no command is taken.
        for path in ("/", "/events", "/?token=0123"):
            self.assertEqual(http_status(origin + path), 403, path)
        self.assertEqual(http_status(origin + "/command", b'{"cmd":"quit"}'), 403)
        # Nor to a name other than its own address (one rebound to 127.0.0.1), token or not.
        rebound = urllib.request.Request(zenlet.address, headers={
            "Host": "rebound.example:" + origin.rsplit(":", 1)[1]})
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(rebound, timeout=10)
        self.assertEqual(refused.exception.code, 403)
        # The page may run its own script and style only, and be framed by no one.
        with urllib.request.urlopen(zenlet.address, timeout=10) as page:
            self.assertRegex(page.headers["Content-Security-Policy"],
                             r"script-src 'sha256-[^']+'; style-src 'sha256-[^']+'.*"
                             r"frame-ancestors 'none'")
            self.assertEqual(page.headers["X-Content-Type-Options"], "nosniff")
            self.assertEqual(page.headers["Referrer-Policy"], "no-referrer")

        browser = self.launch_browser()
        browser.get(zenlet.address)
        window = 'section.explorer[data-explorer="1"] '
        facebook = self.element(browser, window + ".facebook", "Login to Facebook...")
        self.element(browser, window + ".titlebar .title", "explorer 1")
        # Under that policy the page's style applies as well as its script.
        self.assertEqual(browser.execute_script(
            "return getComputedStyle(document.body).backgroundColor"), "rgb(111, 143, 199)")

        # The button's face is drawn from the add-in's pixels: opaque somewhere, clear at a corner.
        face = browser.execute_script(
            "const canvas = arguments[0];"
            "const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;"
            "let opaque = 0;"
            "for (let i = 3; i < data.length; i += 4) opaque += data[i] === 255 ? 1 : 0;"
            "return {width: canvas.width, opaque: opaque, corner: data[3]};",
            facebook.find_element(By.CSS_SELECTOR, "canvas"))
        self.assertEqual(face["width"], 16)
        self.assertTrue(20 < face["opaque"] < 256, f"opaque pixels: {face['opaque']}")
        self.assertEqual(face["corner"], 0)

        # Login: the intro box, the emulator's login page in a new tab, the box that waits for it.
        facebook.click()
        main = self.in_new_tab(browser, lambda: self.confirm(
            browser, "In order to use Zenlet, you need to login to Facebook."))
        self.assertRegex(browser.current_url,
                         r"/login\.php\?api_key=[0-9a-f]{32}&auth_token=[0-9a-f]+&v=1\.0$")
        browser.find_element(By.CSS_SELECTOR, 'input[type="submit"][value="Log in"]').click()
        self.wait_for(browser, "the login page's answer",
                      lambda: "login.php" not in browser.current_url or
                      browser.execute_script("return document.readyState") == "complete")
        self.back_to(browser, main)
        self.confirm(browser, "Please click OK after you have logged into Facebook.")
        self.element(browser, 'section.explorer[data-logged-in="yes"]')
        self.element(browser, window + ".popup").click()
        self.element(browser, '.drop.menu .item[data-id="3"]', "Logout from Zenlet (Dana Whitfield)")
        browser.switch_to.active_element.send_keys(Keys.ESCAPE)

        # A status: the permission intro, the emulator's permission page, the box that waits.
        status = self.element(browser, window + ".status input")
        status.clear()
        status.send_keys("is trying Zenlet in a browser")
        status.send_keys(Keys.ENTER)
        main = self.in_new_tab(browser, lambda: self.confirm(browser, "Facebook security policy requires"))
        self.assertRegex(browser.current_url,
                         r"^http://127\.0\.0\.1:\d+/authorize\.php\?.*ext_perm=status_update")
        # The pages come from the built-in service's plain port, whose control interface
        # the test reads; the add-in itself reaches the service over TLS.
        pages = browser.current_url.split("authorize.php")[0]
        browser.find_element(By.CSS_SELECTOR, 'button[value="allow"]').click()
        self.wait_for(browser, "the permission page's answer",
                      lambda: browser.execute_script("return document.readyState") == "complete")
        self.back_to(browser, main)
        self.confirm(browser, "Please click OK after you have allowed Zenlet")
        service = self.element(browser, "#connection", "connected: ").text.replace("connected: ", "")
        self.assertRegex(service, r"^https://127\.0\.0\.1:\d+/$")

        def posted():
            with urllib.request.urlopen(pages + "_emu/state", timeout=10) as answer:
                message = json.load(answer)["state"]["user"]["status"]["message"]
            return message == "is trying Zenlet in a browser"
        self.wait_for(browser, "the status at the service", posted, timeout=10)

        # The login asked for a check: the drop-down fills within a worker pass and a refresh.
        summary = r"^New Requests - \d+$"
        self.element(browser, window + ".notifications .value", pattern=summary, timeout=60)
        self.element(browser, window + ".notifications").click()
        line = self.element(browser, ".notifications-list .item", pattern=r"^New Messages - \d+$")
        main = self.in_new_tab(browser, line.click)
        self.assertEqual(urllib.parse.urlparse(browser.current_url).path, "/inbox/")
        self.back_to(browser, main)
        # The control snaps back to its summary line.
        self.element(browser, window + ".notifications .value", pattern=summary)

        browser.find_element(By.CSS_SELECTOR, "#quit").click()
        self.element(browser, "#ended.shown")
        self.assertEqual(zenlet.process.wait(timeout=30), 0, "".join(zenlet.errors))

    def test_a_page_that_more_pages_displace_says_so_and_a_reload_takes_over(self):
        zenlet = Zenlet(os.path.join(self.scratch, "data"))
        self.addCleanup(zenlet.stop)
        browser = self.launch_browser()
        browser.get(zenlet.address)
        self.element(browser, "#connection", "connected: ")

        # As many streams as zenlet serves at once, opened after the page's: its is the oldest.
        events = zenlet.address.replace("/?token=", "/events?token=")
        for _ in range(16):
            self.addCleanup(urllib.request.urlopen(events, timeout=10).close)
        self.element(browser, "#ended.shown", "Another page of zenlet opened")
        self.element(browser, "#connection", "not connected: another page follows zenlet")
        browser.refresh()
        self.element(browser, "#connection", "connected: ")
        self.element(browser, 'section.explorer[data-explorer="1"] .facebook', "Login to Facebook...")


if __name__ == "__main__":
    unittest.main(verbosity=2)
