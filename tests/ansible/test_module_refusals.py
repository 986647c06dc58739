"""The firmware module refuses what it cannot use with a clear message,
before anything is run."""

import json
import os
import shutil
import tempfile
import unittest

import ansible_run
from ansible_run import BIN, ROOT

IMAGE = os.path.join(ROOT, "sim", "sample", "demo.upd")
CLI = os.path.join(BIN, "velloran-cli")

# Module arguments, and the message the failure must carry.
CASES = [
    ("cli=no-such-velloran-cli image=%s link=usb" % IMAGE, "no-such-velloran-cli was not found on PATH"),
    ("cli=/nonexistent/velloran-cli image=%s link=usb" % IMAGE,
     "velloran-cli is not an executable file at /nonexistent/velloran-cli"),
    ("cli=%s image=/nonexistent/demo.upd link=usb" % CLI,
     "Cannot read the firmware image /nonexistent/demo.upd: No such file or directory"),
    ("cli=%s image=%s link=usb" % (CLI, ROOT), "Cannot read the firmware image %s: Is a directory" % ROOT),
    ("cli=%s image=%s link=serial all=true" % (CLI, IMAGE), "all is for the USB link only"),
]


class ModuleRefusalsTest(unittest.TestCase):
    def test_refusals(self):
        folder = tempfile.mkdtemp(prefix="velloran-ansible-")
        self.addCleanup(shutil.rmtree, folder, True)
        for arguments, message in CASES:
            with self.subTest(arguments):
                run = ansible_run.run(["ansible", "localhost", "-c", "local", "-m", "velloran.printer.firmware",
                                       "-a", arguments], folder, timeout=120)
                self.assertEqual(run.returncode, 2, run.stdout)
                self.assertIn("localhost | FAILED! => ", run.stdout)
                result = json.loads(run.stdout.split(" => ", 1)[1])
                self.assertIn(message, result["msg"])
                self.assertFalse(result["changed"])
                self.assertNotIn("cmd", result)


if __name__ == "__main__":
    unittest.main()
