"""The firmware module's reading of velloran-cli's events where a playbook
run against the simulator cannot show it: broken and truncated streams, a
tool that dies, and several-printer streams."""

import json
import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "ansible"))
from ansible_collections.velloran.printer.plugins.module_utils import cli_events  # noqa: E402


def event(kind, phase, **members):
    members.update(event=kind, phase=phase)
    members.setdefault("id", kind)
    members.setdefault("en", "%s %s" % (kind, phase))
    return json.dumps(members)


SUMMARY = event("summary", "prepare", image="demo.upd", size=5000, version="04 00", bytes_total=5120)
ERASED = event("status", "erase", id="erase_done", en="The flash is erased")
PACKET = event("status", "data", id="packet_sent", en="Packet 1 sent", packet=1, bytes_sent=512)
COMPLETED = event("result", "finish", id="upgrade_completed", ok=True, reason=None, bytes_sent=5120,
                  duration_ms=9100, en="Upgrade completed: wrote 5120 bytes in 9.1 s")


def target(line, name):
    members = json.loads(line)
    members["target"] = name
    return json.dumps(members)


FLEET = event("fleet_result", "finish", id="fleet_failed", ok=False, printers=[
    {"target": "A", "result": "completed", "reason": None, "printer": None, "packet": 10, "bytes_sent": 5120,
     "bytes_total": 5120, "duration_ms": 9100, "en": "Upgrade completed"},
    {"target": "B", "result": "failed", "reason": "version_mismatch", "printer": "boot_mode", "packet": 0,
     "bytes_sent": 0, "bytes_total": 5120, "duration_ms": 4000, "en": "Upgrade failed: version"}])

FLEET_OF_A = event("fleet_result", "finish", id="fleet_completed", ok=True, printers=json.loads(FLEET)["printers"][:1])

# name, printers named (1: a single-printer run), lines, exit status, (ok, changed),
# [(id, result, reason, printer)], problem or None
CASES = [
    ("completed", 1, [SUMMARY, ERASED, PACKET, COMPLETED], 0,
     (True, True), [(None, "completed", None, None)], None),
    ("a line that is not JSON amid a completed run", 1, [SUMMARY, ERASED, "Segmentation fault", COMPLETED], 0,
     (False, True), [(None, "completed", None, None)], 'line 3 is not JSON: "Segmentation fault"'),
    ("a JSON line that is no event", 1, [SUMMARY, "[1, 2]", COMPLETED], 0,
     (False, True), [(None, "completed", None, None)], "line 2 is not an event"),
    ("cut off after the erase", 1, [SUMMARY, ERASED], 1,
     (False, True), [(None, "failed", "no_result", "flash_written")],
     "ended without its final result after 2 event(s), the last status \"The flash is erased\"; "
     "velloran-cli exited with status 1"),
    ("cut off in the middle of a line", 1, [SUMMARY, ERASED, PACKET[:40]], 1,
     (False, True), [(None, "failed", "no_result", "flash_written")], "line 3 is not JSON"),
    ("no event at all", 1, [], 127,
     (False, False), [], "ended without its final result after no event; velloran-cli exited with status 127"),
    ("a result that says ok from a tool that failed", 1, [SUMMARY, COMPLETED], 1,
     (False, True), [(None, "completed", None, None)], "exited with status 1 although its final event says ok"),
    ("several printers, each its result, then the fleet_result", 2,
     [SUMMARY, target(ERASED, "A"), target(COMPLETED, "A"), FLEET], 1,
     (False, True), [("A", "completed", None, None), ("B", "failed", "version_mismatch", "boot_mode")], None),
    ("several printers cut off before the fleet_result", 2,
     [SUMMARY, target(COMPLETED, "A"), target(ERASED, "B"), target(PACKET, "B")], -9,
     (False, True), [("A", "completed", None, None), ("B", "failed", "no_result", "flash_written")],
     "ended without its final fleet_result after 4 event(s), the last status \"Packet 1 sent\"; "
     "velloran-cli was killed by SIGKILL"),
    ("an event after the fleet_result", 2, [SUMMARY, FLEET, target(PACKET, "B")], 1,
     (False, True), [("A", "completed", None, None), ("B", "failed", "version_mismatch", "boot_mode")],
     "line 3 follows the final fleet_result"),
    ("a fleet_result that says ok and leaves out a printer named", 2, [SUMMARY, FLEET_OF_A], 0,
     (False, True), [("A", "completed", None, None)], "velloran-cli reported on 1 printer(s) of the 2 named"),
]


class EventReadingTest(unittest.TestCase):
    def test_streams(self):
        for name, named, lines, status, (ok, changed), printers, problem in CASES:
            with self.subTest(name):
                reader = cli_events.EventReader(several=named > 1, named=named)
                for line in lines:
                    reader.feed((line + "\n").encode())
                outcome = reader.finish(status)
                self.assertEqual((outcome["ok"], outcome["changed"]), (ok, changed), outcome)
                self.assertEqual([(p["id"], p["result"], p["reason"], p["printer"]) for p in outcome["printers"]],
                                 printers)
                if problem is None:
                    self.assertEqual(outcome["problems"], [])
                else:
                    self.assertTrue(any(problem in told for told in outcome["problems"]), outcome["problems"])

    def test_a_tool_that_dies(self):
        # A real process that prints its first events, a message on standard
        # error and is then killed: what it printed is kept, the signal named.
        with tempfile.TemporaryDirectory() as folder:
            tool = os.path.join(folder, "velloran-cli")
            with open(tool, "w") as script:
                script.write("#!/bin/sh\nprintf '%%s\\n' '%s' '%s'\necho 'out of memory' >&2\nkill -KILL $$\n"
                             % (SUMMARY, ERASED))
            os.chmod(tool, stat.S_IRWXU)
            outcome = cli_events.run([tool, "upgrade"], cli_events.EventReader(requested_port="COM5"))
        self.assertEqual(outcome["rc"], -9)
        self.assertEqual((outcome["ok"], outcome["changed"]), (False, True))
        self.assertEqual([(p["id"], p["result"], p["printer"]) for p in outcome["printers"]],
                         [("COM5", "failed", "flash_written")])
        self.assertIn("was killed by SIGKILL; its standard error: \"out of memory\"", outcome["problems"][-1])


if __name__ == "__main__":
    unittest.main()
