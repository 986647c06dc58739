"""The rollout playbook of velloran.printer run by ansible-core over several
local machines, each with its own simulated printers: a check run that
sends no frame, then one run that upgrades them all, where one machine's
printer fails."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import ansible_run
from ansible_run import BIN, ROOT

IMAGE = os.path.join(ROOT, "sim", "sample", "demo.upd")

# Machine, link, ports, and per printer the simulator's arguments.
MACHINES = [
    ("till-1", "usb", None, [["usb"]]),
    # Its printer stops answering at the third packet, after the erase.
    ("till-2", "usb", None, [["usb", "--fail", "packet=3:no-reply"]]),
    ("packer-1", "serial", ["COM5", "COM6"],
     [["serial", "--baud", "4800", "--com-name", "COM5"], ["serial", "--baud", "4800", "--com-name", "COM6"]]),
]


def start_simulator(arguments, log_path):
    log = open(log_path, "w")
    process = subprocess.Popen([os.path.join(BIN, "velloran-sim")] + arguments, stdout=log,
                               stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    log.close()
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        with open(log_path) as lines:
            # Only whole lines: the simulator may be writing the last one.
            for line in lines.read().split("\n")[:-1]:
                if line.startswith("environment: "):
                    return process, dict(pair.split("=", 1) for pair in line.split()[1:])
        if process.poll() is not None:
            break
        time.sleep(0.1)
    process.kill()
    process.wait()
    with open(log_path) as log:
        raise AssertionError("velloran-sim %s did not start: %s" % (arguments, log.read()))


def merged_environment(environments):
    merged = {}
    for environment in environments:
        for name, value in environment.items():
            # Each serial simulator maps its own COM name.
            merged[name] = merged[name] + ";" + value if name == "VELLORAN_DEVICE_MAP" and name in merged else value
    return merged


class RolloutTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="velloran-ansible-")
        self.simulators = []
        self.logs = {}
        hosts = {}
        for machine, link, ports, printers in MACHINES:
            environments = []
            for index, arguments in enumerate(printers):
                log = os.path.join(self.folder, "%s-%d.log" % (machine, index))
                process, environment = start_simulator(arguments, log)
                self.simulators.append(process)
                self.logs.setdefault(machine, []).append(log)
                environments.append(environment)
            host = {"ansible_connection": "local", "ansible_python_interpreter": "{{ ansible_playbook_python }}",
                    "firmware_link": link, "velloran_environment": merged_environment(environments),
                    "velloran_cli": os.path.join(BIN, "velloran-cli"),
                    "firmware_record": os.path.join(self.folder, machine + "-service.jsonl")}
            if ports:
                host["firmware_ports"] = ports
            hosts[machine] = host
        self.inventory = os.path.join(self.folder, "inventory.yml")
        with open(self.inventory, "w") as inventory:
            json.dump({"printers": {"hosts": hosts}}, inventory)

    def tearDown(self):
        for process in self.simulators:
            process.terminate()
            process.wait(timeout=20)
        shutil.rmtree(self.folder, ignore_errors=True)

    def run_playbook(self, *options):
        results = os.path.join(self.folder, "results")
        command = ["ansible-playbook", "-i", self.inventory, "velloran.printer.rollout",
                   "-e", json.dumps({"firmware_image": IMAGE, "firmware_wave": "100%", "firmware_max_fail": 50,
                                     "firmware_results": results})] + list(options)
        started = time.monotonic()
        run = ansible_run.run(command, self.folder)
        seconds = time.monotonic() - started
        recap = {}
        for host, counts in re.findall(r"^(\S+)\s+:\s+(ok=.*)$", run.stdout, re.M):
            recap[host] = {name: int(value) for name, value in re.findall(r"(\w+)=(\d+)", counts)}
        print("\nansible-playbook %s: %.1f s, exit status %d" % (" ".join(options) or "(upgrade)", seconds,
                                                                  run.returncode))
        print("\n".join(line for line in run.stdout.splitlines() if re.match(r"^\S+\s+:\s+ok=", line)))
        outcomes = {}
        for machine, _, _, _ in MACHINES:
            path = os.path.join(results, machine + ".json")
            self.assertTrue(os.path.exists(path), run.stdout)
            with open(path) as outcome:
                outcomes[machine] = json.load(outcome)
        return run, recap, outcomes

    def frames(self, machine):
        counts = []
        for log in self.logs[machine]:
            with open(log) as lines:
                counts.append(sum(1 for line in lines if line.startswith("frame ")))
        return counts

    def records(self, machine):
        with open(os.path.join(self.folder, machine + "-service.jsonl")) as lines:
            return [(record["target"], record["result"]) for record in map(json.loads, lines)]

    def test_check_then_upgrade(self):
        run, recap, outcomes = self.run_playbook("--check")
        self.assertEqual(run.returncode, 0, run.stdout)
        for machine, _, _, printers in MACHINES:
            self.assertEqual(self.frames(machine), [0] * len(printers), machine)
            self.assertEqual((recap[machine]["failed"], recap[machine]["changed"]), (0, 1), run.stdout)
            self.assertEqual([p["result"] for p in outcomes[machine]["printers"]], ["ready"] * len(printers))
            self.assertFalse(os.path.exists(os.path.join(self.folder, machine + "-service.jsonl")))
        self.assertEqual([p["id"] for p in outcomes["packer-1"]["printers"]], ["COM5", "COM6"])

        run, recap, outcomes = self.run_playbook()
        self.assertEqual(run.returncode, 2, run.stdout)
        self.assertEqual({machine: (counts["failed"], counts["changed"]) for machine, counts in recap.items()
                          if machine != "localhost"},
                         {"till-1": (0, 1), "till-2": (1, 0), "packer-1": (0, 1)}, run.stdout)
        failed = outcomes["till-2"]
        self.assertEqual((failed["failed"], failed["changed"]), (True, True), failed)
        self.assertEqual([(p["result"], p["reason"], p["printer"], p["bytes"]) for p in failed["printers"]],
                         [("failed", "packet_no_reply", "flash_written", 1024)])
        self.assertIn("failed", failed["msg"])
        with open(IMAGE, "rb") as image:
            sha256 = hashlib.sha256(image.read()).hexdigest()
        for machine in ("till-1", "packer-1"):
            outcome = outcomes[machine]
            self.assertEqual((outcome.get("failed", False), outcome["changed"]), (False, True), outcome)
            self.assertEqual(outcome["image"]["version"], "04 00")
            self.assertEqual(outcome["image"]["sha256"], sha256)
        self.assertEqual([(p["id"], p["result"], p["bytes"]) for p in outcomes["packer-1"]["printers"]],
                         [("COM5", "completed", 5120), ("COM6", "completed", 5120)])
        self.assertEqual(sorted(self.records("packer-1")), [("COM5", "completed"), ("COM6", "completed")])
        self.assertEqual([result for _, result in self.records("till-2")], ["failed"])


if __name__ == "__main__":
    unittest.main()
