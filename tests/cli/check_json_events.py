#!/usr/bin/env python3
"""Runs velloran-cli --json against the simulated printers and checks every
line it writes against docs/cli-json.schema.json, and the stream's rules:
one object per line, exactly one result, and that one last.

usage: check_json_events.py VELLORAN_CLI VELLORAN_SIM SCHEMA WORK_DIR
"""
import json
import os
import subprocess
import sys
import time

import jsonschema

cli, sim, schema_path, work = sys.argv[1:5]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)
failures = []


def image(path, size):
    # A header that descrambles to version 01 02, then data.
    key = b"Pemtrox\0"
    header = bytes([1 ^ key[0], 2 ^ key[1]]) + key[2:]
    with open(path, "wb") as f:
        f.write(header + bytes((i * 7) & 0xFF for i in range(size - 8)))
    return path


def start_sim(*args, log_name="sim.log"):
    log = open(os.path.join(work, log_name), "w+", encoding="utf-8")
    process = subprocess.Popen([sim, *args], stdout=log, stderr=subprocess.STDOUT)
    for _ in range(300):
        log.seek(0)
        # Only whole lines: the simulator may be writing the last one.
        for line in log.read().split("\n")[:-1]:
            if line.startswith("environment: "):
                name, _, value = line[len("environment: "):].partition("=")
                return process, {name: value}
        if process.poll() is not None:
            break
        time.sleep(0.1)
    process.kill()
    log.seek(0)
    raise SystemExit(f"the simulator did not start: {log.read()}")


def check_run(name, args, env=None, status=None, ok=None, phases=(), last="result"):
    before = len(failures)
    run = subprocess.run([cli, *args], capture_output=True, env={**os.environ, **(env or {})}, timeout=120)
    lines = run.stdout.decode("utf-8").splitlines()
    events = []
    for number, line in enumerate(lines, 1):
        try:
            event = json.loads(line)
        except json.JSONDecodeError as error:
            failures.append(f"{name}: line {number} is no JSON ({error}): {line}")
            continue
        for error in validator.iter_errors(event):
            failures.append(f"{name}: line {number}: {error.message}: {line}")
        events.append(event)
    results = [e for e in events if e.get("event") == last]
    if len(results) != 1 or events[-1].get("event") != last:
        failures.append(f"{name}: the stream does not end with its one result: {lines[-3:]}")
    if status is not None and run.returncode != status:
        failures.append(f"{name}: exit status {run.returncode}, expected {status}")
    if ok is not None and results and results[-1].get("ok") != ok:
        failures.append(f"{name}: result ok is {results[-1].get('ok')}, expected {ok}")
    seen = [e["phase"] for e in events if "phase" in e]
    for phase in phases:
        if phase not in seen:
            failures.append(f"{name}: no event of phase {phase}")
    print(f"{name}: {len(events)} events, exit status {run.returncode}")
    if len(failures) > before:  # what the run said, to tell why
        for event in events:
            print(f"  {event.get('event')} {event.get('target', '')} {event.get('id')}: {event.get('en')}")
    return events


# The examples of the documentation beside the schema hold to it as well.
with open(os.path.join(os.path.dirname(schema_path), "cli-json.md"), encoding="utf-8") as f:
    document = f.read()
examples = [block.split("```", 1)[0] for block in document.split("```json\n")[1:]]
if not examples:
    failures.append("cli-json.md: no JSON example")
for block in examples:
    for line in block.splitlines():
        for error in validator.iter_errors(json.loads(line)):
            failures.append(f"cli-json.md example: {error.message}: {line}")

small = image(os.path.join(work, "small.upd"), 1500)
check_run("usage error", ["upgrade", "--json", "--link", "wifi", small], status=2, ok=False)
check_run("missing port", ["upgrade", "--json", "--link", "serial", "--port", "COM9", small],
          env={"VELLORAN_DEVICE_MAP": "COM9=/nonexistent/ttyVELLORAN"}, status=1, ok=False)

printer, env = start_sim("lpt")
check_run("missing image", ["upgrade", "--json", "--link", "lpt", os.path.join(work, "none.upd")], env=env,
          status=1, ok=False)
printer.terminate()
printer.wait()

printer, env = start_sim("lpt", "--exit-after-finish")
events = check_run("parallel port", ["upgrade", "--json", "--link", "lpt", small], env=env, status=0, ok=True,
                   phases=("prepare", "boot", "version", "erase", "data", "finish"))
printer.wait(timeout=30)

printer, env = start_sim("serial", "--baud", "4800", "--com-name", "COM5", "--exit-after-finish")
events = check_run("serial", ["upgrade", "--json", "--link", "serial", "--port", "COM5", small], env=env, status=0,
                   ok=True, phases=("prepare", "detect", "boot", "version", "erase", "data", "finish"))
printer.wait(timeout=30)
if not any(e.get("baud") == 4800 and e.get("port") == "COM5" for e in events):
    failures.append("serial: no event carries the port and the baud rate found")
if not any(e.get("packet") == 3 and e.get("bytes_sent") == 1536 for e in events):
    failures.append("serial: no event carries the last packet and its bytes")

# Two printers at once: the workers' events with their target, then the
# fleet's result; and the pre-flight check of the same two.
first, env5 = start_sim("serial", "--baud", "4800", "--com-name", "COM5", log_name="sim5.log")
second, env6 = start_sim("serial", "--baud", "9600", "--com-name", "COM6", "--fail", "cmd=version:status=7",
                         log_name="sim6.log")
both = {"VELLORAN_DEVICE_MAP": env5["VELLORAN_DEVICE_MAP"] + ";" + env6["VELLORAN_DEVICE_MAP"]}
two = ["upgrade", "--json", "--link", "serial", "--port", "COM5", "--port", "COM6", small]
events = check_run("two printers", two, env=both, status=1, ok=False, last="fleet_result")
if any("target" not in e for e in events[:-1]):
    failures.append("two printers: an event without its target")
check_run("check", [*two[:-1], "--check", small], env=both, status=0, ok=True)
for process in (first, second):
    process.terminate()
    process.wait()

for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
