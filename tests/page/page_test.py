#!/usr/bin/env python3
"""The service's status page in a real browser (headless Chromium, driven through cdp.py).

ecr-service runs on a virtual printer (ecr-sim on a pseudo-terminal, with its paper roll); the
page at GET / is loaded, its "Test print" and "X report" buttons are clicked as a person would,
and what the page shows afterwards is checked: the message line, the printer's state, the job
rows with their outcome, the paper roll. The printer's own roll must hold each document once.
A screenshot of the page after the clicks is kept in OUT/page.png.

Usage: tests/page/page_test.py --service BIN --sim BIN --out DIR [--chromium BIN]
Prints one line per check and "N passed, N failed"; exits 1 when a check failed, 2 when the
service or the browser could not be started.
"""

import argparse
import os
import socket
import struct
import subprocess
import sys
import time

import cdp

PRINTER = "front"


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def expect(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print(f"ok   {what}")
        else:
            self.failed += 1
            print(f"FAIL {what}" + (f"\n     | {detail}" if detail else ""))

    def wait(self, browser, expression, what, timeout=15.0):
        try:
            browser.wait_for(expression, timeout)
            self.expect(True, what)
            return True
        except cdp.CdpError as e:
            self.expect(False, what, str(e))
            return False


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_file(path, what, proc, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path):
            return
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    raise RuntimeError(f"{what} did not start")


def wait_for_line(path, text, what, proc, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open(path, encoding="utf-8", errors="replace") as f:
            if text in f.read():
                return
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    with open(path, encoding="utf-8", errors="replace") as f:
        raise RuntimeError(f"{what} did not start: {f.read()[-500:]}")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if len(head) < 24 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def text_of(element_id):
    return f"(document.getElementById('{element_id}') || {{}}).textContent"


# The rows of the job table as [key, kind, state, http, updated].
JOB_ROWS = (f"Array.from(document.querySelectorAll('#jobs-{PRINTER} tr'))"
            ".map(r => Array.from(r.cells).map(c => c.textContent))")


def job_shown(kind):
    return (f"{JOB_ROWS}.some(r => r[1] === '{kind}' && r[2] === 'done' && r[3] === '200')")


def run(args, checks):
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    link = os.path.join(out, "ttyECR1")
    paper = os.path.join(out, "paper.txt")
    journal = os.path.join(out, "journal.sqlite")
    for f in (paper, journal, journal + "-wal", journal + "-shm"):
        if os.path.exists(f):
            os.remove(f)
    port = free_port()
    with open(os.path.join(out, "service.ini"), "w", encoding="utf-8") as f:
        f.write(f"[service]\nlisten = 127.0.0.1\nport = {port}\njournal = {journal}\n\n"
                f"[printer:{PRINTER}]\ndevice = {link}\npaper = {paper}\n")

    procs = []
    try:
        sim = subprocess.Popen([args.sim, "--link", link, "--paper", paper, "--busy-scale", "0"],
                               stdout=open(os.path.join(out, "sim.log"), "w"),
                               stderr=subprocess.STDOUT)
        procs.append(sim)
        wait_for_file(link, "ecr-sim", sim)
        service_log = os.path.join(out, "service.log")
        service = subprocess.Popen([args.service, "--settings", os.path.join(out, "service.ini")],
                                   stdout=open(service_log, "w"), stderr=subprocess.STDOUT)
        procs.append(service)
        wait_for_line(service_log, "listening on", "ecr-service", service)

        with cdp.Browser(args.chromium) as b:
            b.navigate(f"http://127.0.0.1:{port}/")
            checks.wait(b, f"{text_of('state-' + PRINTER)} === 'ready'",
                        "the page shows the printer, ready")
            checks.expect(b.evaluate(f"{JOB_ROWS}.length") == 0, "no jobs before the first click")
            checks.expect(b.evaluate(f"document.getElementById('paper-{PRINTER}') !== null"),
                          "the virtual printer's paper roll has its place")

            b.evaluate(f"document.getElementById('test-print-{PRINTER}').click()")
            checks.wait(b, f"{text_of('message')} === 'Test print: done'",
                        "after Test print the message line says it is done")
            checks.wait(b, job_shown("nonfiscal"), "the job table shows the test print, done, 200")
            checks.wait(b, f"{text_of('paper-' + PRINTER)}.includes('Test print') && "
                           f"{text_of('paper-' + PRINTER)}.includes('NON-FISCAL RECEIPT')",
                        "the page's paper roll shows the test print")

            b.evaluate(f"document.getElementById('x-report-{PRINTER}').click()")
            checks.wait(b, f"{text_of('message')} === 'X report: done'",
                        "after X report the message line says it is done")
            checks.wait(b, job_shown("report x"), "the job table shows the X report, done, 200")
            checks.wait(b, f"{text_of('paper-' + PRINTER)}.includes('X-REPORT')",
                        "the page's paper roll shows the X report")
            checks.expect(b.evaluate(f"{text_of('state-' + PRINTER)}") == "ready",
                          "the printer is ready again after both")
            rows = b.evaluate(JOB_ROWS)

            shot = os.path.join(out, "page.png")
            b.screenshot(shot)
            size = png_size(shot)
            checks.expect(size is not None and size[0] >= 800 and size[1] >= 400,
                          f"screenshot {shot} ({size[0]} x {size[1]})" if size else "screenshot",
                          "no PNG image was written")
            problems = [m for m in b.console if m.startswith("exception")
                        or m.startswith("console.error")]
            checks.expect(not problems, "the page ran without script errors", "; ".join(problems))

        with open(paper, encoding="utf-8") as f:
            roll = f.read()
        checks.expect(roll.count("Test print") == 1 and roll.count("X-REPORT") == 1
                      and len(rows) == 2,
                      "one click, one document: the printer's roll holds the test print and the "
                      "X report once each, the page lists two jobs",
                      f"rows {rows}; roll:\n{roll}")
    finally:
        for p in reversed(procs):
            p.terminate()
        for p in reversed(procs):
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--service", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--chromium", default="chromium")
    args = parser.parse_args()
    checks = Checks()
    try:
        run(args, checks)
    except (RuntimeError, OSError, cdp.CdpError) as e:
        print(f"FAIL {e}")
        print(f"{checks.passed} passed, {checks.failed + 1} failed")
        return 2
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
