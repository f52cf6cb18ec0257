"""A small client of Chromium's DevTools protocol over --remote-debugging-pipe (no web socket,
no packages beyond Python's own): one headless browser, one page, commands and their answers.

    with Browser() as b:
        b.navigate("http://127.0.0.1:8719/")
        b.wait_for("document.querySelector('#printers') !== null")
        b.evaluate("document.querySelector('#test-print').click()")
        b.screenshot("page.png")

Every wait has a bound (seconds); a command that gets no answer in time, or an answer with an
error, raises CdpError.
"""

import base64
import fcntl
import json
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time


class CdpError(Exception):
    pass


class Browser:
    def __init__(self, chromium="chromium", width=1024, height=768, timeout=20.0):
        self.timeout = timeout
        self._profile = tempfile.TemporaryDirectory(prefix="cdp-profile-", ignore_cleanup_errors=True)
        # fd 3: what Chromium reads (our commands), fd 4: what it writes (answers and events).
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()
        os.set_inheritable(to_browser_r, True)
        os.set_inheritable(from_browser_w, True)

        def place_pipes():
            # Both ends moved above 4 first, so that placing one cannot close the other.
            r = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 10)
            w = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 10)
            os.dup2(r, 3)
            os.dup2(w, 4)

        self._log = open(os.path.join(self._profile.name, "chromium.log"), "wb")
        self._proc = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--no-default-browser-check", "--disable-extensions", "--hide-scrollbars",
             "--remote-debugging-pipe", f"--user-data-dir={self._profile.name}",
             f"--window-size={width},{height}", "about:blank"],
            preexec_fn=place_pipes, pass_fds=(3, 4), start_new_session=True,
            stdout=self._log, stderr=self._log)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._next_id = 0
        self._buffer = b""
        self.console = []  # the page's console messages and uncaught exceptions
        target = self._call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self._session = self._call("Target.attachToTarget",
                                   {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime"):
            self._call(f"{domain}.enable", session=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self._proc.poll() is None:
            self._proc.terminate()
            try:
                self._proc.wait(5)
            except subprocess.TimeoutExpired:
                self._proc.kill()
                self._proc.wait()
        # Chromium's helpers (its own session) may outlive the browser and still write into the
        # profile: they go too, and the profile is removed once nothing writes there any more.
        try:
            os.killpg(self._proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        os.close(self._to_browser)
        os.close(self._from_browser)
        self._log.close()
        for _ in range(50):
            shutil.rmtree(self._profile.name, ignore_errors=True)
            if not os.path.exists(self._profile.name):
                break
            time.sleep(0.1)
        self._profile.cleanup()  # made with ignore_cleanup_errors: what is left stays, unreported

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise CdpError("no answer from Chromium in time")
            ready, _, _ = select.select([self._from_browser], [], [], left)
            if ready:
                chunk = os.read(self._from_browser, 65536)
                if not chunk:
                    raise CdpError("Chromium closed its pipe")
                self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def _call(self, method, params=None, session=False):
        self._next_id += 1
        request = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            request["sessionId"] = self._session
        os.write(self._to_browser, json.dumps(request).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            message = self._read_message(deadline)
            if message.get("id") == self._next_id:
                if "error" in message:
                    raise CdpError(f"{method}: {message['error']}")
                return message.get("result", {})
            self._event(message)

    def _event(self, message):
        params = message.get("params", {})
        if message.get("method") == "Runtime.consoleAPICalled":
            texts = [str(a.get("value", a.get("description", ""))) for a in params.get("args", [])]
            self.console.append(f"console.{params.get('type')}: {' '.join(texts)}")
        elif message.get("method") == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            text = details.get("exception", {}).get("description") or details.get("text")
            self.console.append(f"exception: {text}")

    def navigate(self, url):
        result = self._call("Page.navigate", {"url": url}, session=True)
        if result.get("errorText"):
            raise CdpError(f"navigate {url}: {result['errorText']}")

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (promises awaited)."""
        result = self._call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                 "awaitPromise": True}, session=True)
        if "exceptionDetails" in result:
            raise CdpError(f"{expression}: {result['exceptionDetails'].get('text')} "
                           f"{result['result'].get('description', '')}")
        return result["result"].get("value")

    def wait_for(self, expression, timeout=10.0):
        """Waits until the expression is true in the page; its last value when it never was."""
        deadline = time.monotonic() + timeout
        value = None
        while time.monotonic() < deadline:
            try:
                value = self.evaluate(expression)
            except CdpError as e:  # the page may still be loading
                value = str(e)
            if value is True:
                return True
            time.sleep(0.1)
        raise CdpError(f"not true within {timeout} s: {expression} (last: {value})")

    def screenshot(self, path):
        data = self._call("Page.captureScreenshot", {"format": "png"}, session=True)["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))
