# -*- coding: utf-8 -*-
# Reads velloran-cli's JSON event stream (one object per line) and tells,
# per printer, what happened: the result the tool gave, or, when the stream
# is malformed or ends early, what was seen up to there. Nothing here trusts
# a success the tool did not state in its final event.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import signal
import subprocess
import tempfile

STOP_REASONS = ("interrupted", "terminated", "hung_up", "output_closed")
# Phases from which the printer's flash is erased or written.
FLASH_PHASES = ("erase", "data", "finish")
# Phases that sent a frame the printer may have acted on (boot switch, version check).
BOOT_PHASES = ("boot", "version")
QUOTED_LINE_LIMIT = 200


def _quote(text):
    text = str(text).strip()
    if len(text) > QUOTED_LINE_LIMIT:
        text = text[:QUOTED_LINE_LIMIT] + "..."
    return json.dumps(text, ensure_ascii=False)


def _result_name(event):
    if event.get("ok") is True:
        return "completed"
    if event.get("reason") in STOP_REASONS:
        return "stopped"
    return "failed"


class _Printer:
    """What the stream told about one printer."""

    def __init__(self, target):
        self.target = target or None
        self.port = None
        self.phases = set()
        self.last = None
        self.result = None
        self.check = None

    def take(self, event):
        self.last = event
        if isinstance(event.get("target"), str):
            self.target = event["target"]
        if isinstance(event.get("port"), str):
            self.port = event["port"]
        if isinstance(event.get("phase"), str):
            self.phases.add(event["phase"])
        if event.get("event") == "result":
            self.result = event
        elif event.get("event") == "check":
            self.check = event

    def state_seen(self):
        """The printer's state as far as the events seen show it."""
        if self.phases.intersection(FLASH_PHASES):
            return "flash_written"
        if self.phases.intersection(BOOT_PHASES):
            return "boot_mode"
        return "unchanged"


class EventReader:
    """Feed it the lines of `velloran-cli upgrade --json`, then call finish().

    several: the run names several printers (--port twice or more, or --all),
    so the final event is `fleet_result`; otherwise it is `result`.
    check: the run is a pre-flight (--check), whose final event is `result`.
    named: how many printers the command line names (None for --all), each
    of which the tool must report on.
    """

    def __init__(self, several=False, check=False, requested_port=None, link=None, named=None):
        self.several = several
        self.named = named
        self.link = link
        self.check = check
        self.requested_port = requested_port
        self.lines = 0
        self.events = 0
        self.problems = []
        self.summary = None
        self.last = None
        self.printers = {}
        self.order = []
        self.run_errors = []
        self.fleet = None

    def _printer(self, target):
        if target not in self.printers:
            self.printers[target] = _Printer(target)
            self.order.append(target)
        return self.printers[target]

    def feed(self, line):
        if isinstance(line, bytes):
            line = line.decode("utf-8", errors="replace")
        self.lines += 1
        if not line.strip():
            return
        try:
            event = json.loads(line)
        except ValueError:
            self.problems.append("line %d is not JSON: %s" % (self.lines, _quote(line)))
            return
        if not isinstance(event, dict) or not isinstance(event.get("event"), str):
            self.problems.append("line %d is not an event: %s" % (self.lines, _quote(line)))
            return
        if self.last is not None and self.last.get("event") == "fleet_result":
            self.problems.append("line %d follows the final fleet_result" % self.lines)
        self.events += 1
        self.last = event
        kind = event["event"]
        if kind == "summary":
            self.summary = event
        elif kind == "error":
            self.run_errors.append(event)
        elif kind == "fleet_result":
            self.fleet = event
            return
        target = event.get("target")
        if self.several:
            if isinstance(target, str):
                self._printer(target).take(event)
        else:
            # One printer: its events before its id is known are its own too.
            self._printer("").take(event)

    def _final(self):
        last = self.last
        if last is None:
            return None
        if self.several and not self.check:
            if last.get("event") == "fleet_result":
                return last
            # A run stopped before any printer was started (a bad command line).
            if last.get("event") == "result" and not isinstance(last.get("target"), str):
                return last
            return None
        return last if last.get("event") == "result" else None

    def _upgrade_printers(self, final):
        listed = []
        if final is None:
            # A fleet_result followed by more output still says what it says.
            final = self.fleet
        if final is not None and final.get("event") == "fleet_result":
            for entry in final.get("printers") or []:
                if not isinstance(entry, dict):
                    self.problems.append("fleet_result lists a printer that is not an object")
                    continue
                seen = self.printers.get(entry.get("target"))
                state = entry.get("printer")
                if state is None and seen is not None and entry.get("result") != "completed":
                    state = seen.state_seen()
                listed.append({
                    "id": entry.get("target"),
                    "link": entry.get("link") or self.link,
                    "port": entry.get("port"),
                    "result": entry.get("result"),
                    "reason": entry.get("reason"),
                    "printer": state,
                    "packet": entry.get("packet"),
                    "bytes": entry.get("bytes_sent"),
                    "bytes_total": entry.get("bytes_total"),
                    "duration_ms": entry.get("duration_ms"),
                    "en": entry.get("en"),
                })
            return listed
        for target in self.order:
            printer = self.printers[target]
            result = printer.result
            entry = {"id": target or printer.target or printer.port or self.requested_port,
                     "link": self.link, "port": printer.port}
            if result is not None:
                entry.update({
                    "result": _result_name(result),
                    "reason": result.get("reason"),
                    "printer": result.get("printer") or (None if result.get("ok") else printer.state_seen()),
                    "packet": result.get("packet", 0),
                    "bytes": result.get("bytes_sent"),
                    "bytes_total": result.get("bytes_total"),
                    "duration_ms": result.get("duration_ms"),
                    "en": result.get("en"),
                })
            else:
                last = printer.last or {}
                entry.update({
                    "result": "failed",
                    "reason": "no_result",
                    "printer": printer.state_seen(),
                    "packet": last.get("packet", 0),
                    "bytes": last.get("bytes_sent", 0),
                    "bytes_total": last.get("bytes_total"),
                    "duration_ms": last.get("elapsed_ms"),
                    "en": "velloran-cli gave no result for this printer; its last event: %s"
                          % (last.get("en") or last.get("id") or "none"),
                })
            listed.append(entry)
        return listed

    def _check_printers(self):
        listed = []
        for target in self.order:
            check = self.printers[target].check
            if check is None:
                continue
            ready = check.get("ready") is True
            listed.append({
                "id": target or self.printers[target].target or check.get("port") or self.requested_port,
                "port": check.get("port"),
                "node": check.get("node"),
                "result": "ready" if ready else "not_ready",
                "reason": None if ready else (check.get("reason") or check.get("id")),
                "expected_ms": check.get("expected_ms"),
                "expected_max_ms": check.get("expected_max_ms"),
                "en": check.get("en"),
            })
        return listed

    def finish(self, exit_status, stderr=""):
        """The outcome once the process has ended: a dict with ok, changed,
        printers, final (the final event or None) and problems (English)."""
        final = self._final()
        if self.check:
            printers = self._check_printers()
            good = "ready"
        else:
            printers = self._upgrade_printers(final)
            good = "completed"
        problems = list(self.problems)
        stderr = (stderr or "").strip()
        if final is None:
            problems.append(self._truncation(exit_status, stderr))
        elif self.named is not None and len(printers) != self.named and (printers or final.get("ok")):
            problems.append("velloran-cli reported on %d printer(s) of the %d named" % (len(printers), self.named))
        elif exit_status is not None and exit_status != 0 and final.get("ok") is True:
            problems.append("velloran-cli %s although its final event says ok" % describe_exit(exit_status))
        elif exit_status == 0 and final.get("ok") is not True:
            problems.append("velloran-cli exited with status 0 although its final event says not ok")
        every_one = bool(printers) and all(p["result"] == good for p in printers)
        ok = final is not None and final.get("ok") is True and every_one and not problems
        if self.check:
            changed = any(p["result"] == "ready" for p in printers)
        else:
            changed = any(p["result"] == "completed" or p.get("printer") == "flash_written" for p in printers)
        return {"ok": ok, "changed": changed, "printers": printers, "final": final,
                "problems": problems, "summary": self.summary, "run_errors": self.run_errors,
                "events": self.events, "stderr": stderr}

    def _truncation(self, exit_status, stderr):
        expected = "fleet_result" if self.several and not self.check else "result"
        if self.last is None:
            seen = "no event"
        else:
            seen = "%d event(s), the last %s %s" % (
                self.events, self.last.get("event"), _quote(self.last.get("en") or self.last.get("id") or ""))
        told = "the event stream ended without its final %s after %s; velloran-cli %s" % (
            expected, seen, describe_exit(exit_status))
        if stderr:
            told += "; its standard error: %s" % _quote(stderr.splitlines()[-1])
        return told


def describe_exit(exit_status):
    """English for a subprocess return code (negative: killed by that signal)."""
    if exit_status is None:
        return "did not end"
    if exit_status < 0:
        try:
            name = signal.Signals(-exit_status).name
        except ValueError:
            name = "signal %d" % -exit_status
        return "was killed by %s" % name
    return "exited with status %d" % exit_status


def run(argv, reader):
    """Runs velloran-cli with this argument list (no shell) and feeds its
    standard output to the reader line by line as it comes; returns the
    reader's outcome together with the exit status."""
    with tempfile.TemporaryFile() as errors:
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=errors,
                                   close_fds=True)
        with process.stdout:
            for line in process.stdout:
                reader.feed(line)
        status = process.wait()
        errors.seek(0)
        stderr = errors.read().decode("utf-8", errors="replace")
    outcome = reader.finish(status, stderr)
    outcome["rc"] = status
    return outcome
