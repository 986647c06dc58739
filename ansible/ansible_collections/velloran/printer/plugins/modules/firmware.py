# -*- coding: utf-8 -*-
# Replaces the firmware of the printers attached to the managed machine with
# velloran-cli, and reports each printer's result.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: firmware
short_description: Replace the firmware of the printers attached to a machine
version_added: "4.0.0"
description:
  - Runs C(velloran-cli upgrade --json) on the managed machine, which
    switches each printer into boot mode, has it check the image's version,
    erases its flash, sends the image packet by packet and concludes.
  - Reads the tool's JSON events line by line and returns each printer's
    result, the image's size, version bytes and SHA-256.
  - In check mode runs the pre-flight C(velloran-cli upgrade --check --json),
    which loads the image and checks every port but sends nothing to any
    printer, and reports which printers would be upgraded.
  - The task fails when any printer failed or is not ready, when the tool's
    event stream is malformed or ends without its final event, and when
    C(velloran-cli) or the image cannot be used. It is C(changed) when any
    printer's flash was erased or written, also when its upgrade failed
    afterwards.
  - The package velloran-cli must be installed on the managed machine; the
    user the module runs as needs access to the printers' ports (the groups
    C(dialout) for serial ports, C(lp) for parallel ports, or root).
author:
  - Velloran developers (@velloran)
requirements:
  - velloran-cli 4.0.0 or later on the managed machine
options:
  image:
    description:
      - Path of the firmware image (C(.upd)) on the managed machine.
    type: path
    required: true
  link:
    description:
      - The link the printers hang on.
    type: str
    required: true
    choices: [usb, serial, lpt]
  ports:
    description:
      - The printers to upgrade, one entry each, as C(velloran-cli ports)
        shows them. For USB the printer's id (serial number or port path such
        as C(1-2.3)) or its node C(/dev/usb/lp0); C(COM5) or a node for
        serial; C(LPT1) or C(/dev/lp0) for parallel.
      - Two or more upgrade those printers at once, each in its own process.
      - Without I(ports) and I(all) the tool takes the first supported USB
        printer, the first free COM port, or LPT1.
    type: list
    elements: str
  all:
    description:
      - Upgrade every supported USB printer attached (I(link=usb) only).
    type: bool
    default: false
  jobs:
    description:
      - How many printers to upgrade at the same time (default all at once).
    type: int
  record:
    description:
      - Service-record file on the managed machine to which the tool appends
        one JSON line per printer per upgrade (start, end, image, SHA-256,
        printer, result, bytes, duration).
      - Not written in check mode.
    type: path
  cli:
    description:
      - Path of C(velloran-cli); by default the one found on C(PATH).
    type: path
    default: velloran-cli
notes:
  - The upgrade's pauses are prescribed by the printers' boot loader, about
    10 seconds for a 5 KB image over USB, more over a serial link. For long
    rollouts use C(async) or raise the connection's timeout.
  - Supports check mode; it never sends a frame to a printer, not even the
    boot switch.
"""

EXAMPLES = r"""
- name: Upgrade the receipt printer on USB
  velloran.printer.firmware:
    image: /srv/firmware/receipt-0400.upd
    link: usb

- name: Upgrade two serial printers at once and keep a service record
  velloran.printer.firmware:
    image: /srv/firmware/label-0400.upd
    link: serial
    ports: [COM1, COM2]
    record: /var/log/velloran/service.jsonl
  register: firmware

- name: Show each printer's result
  ansible.builtin.debug:
    msg: "{{ item.id }}: {{ item.result }} ({{ item.en }})"
  loop: "{{ firmware.printers }}"

- name: Pre-flight every USB printer without touching them
  velloran.printer.firmware:
    image: /srv/firmware/receipt-0400.upd
    link: usb
    all: true
  check_mode: true
"""

RETURN = r"""
msg:
  description: What happened, in English.
  returned: always
  type: str
  sample: "Upgraded 1 printer (image version 04 00): 1-2.3"
printers:
  description:
    - One entry per printer, in the tool's order.
    - In check mode I(result) is C(ready) or C(not_ready), with
      I(expected_ms) and I(expected_max_ms) instead of the bytes.
  returned: when velloran-cli ran
  type: list
  elements: dict
  contains:
    id:
      description: The printer's id (as C(velloran-cli ports) shows it), or its port.
      type: str
      sample: "1-2.3"
    link:
      description: The link, C(usb), C(serial) or C(lpt).
      type: str
      sample: usb
    port:
      description: The port the printer was reached on.
      type: str
      sample: COM5
    result:
      description:
        - C(completed), C(failed) or C(stopped); in check mode C(ready) or C(not_ready).
        - C(failed) with reason C(no_result) when the tool ended without
          saying what became of this printer.
      type: str
      sample: completed
    reason:
      description: The id of the failure's reason, null on success.
      type: str
      sample: packet_no_reply
    printer:
      description:
        - The state a failure left the printer in, null on success.
        - C(unchanged) (nothing was sent), C(boot_mode) (the firmware is
          unchanged; the printer may wait in boot mode until switched off
          and on), C(flash_written) (the erase began; keep it powered and
          upgrade it again).
      type: str
      sample: flash_written
    packet:
      description: The last data packet the printer took (0 before the data phase).
      type: int
      sample: 10
    bytes:
      description: The bytes the printer took.
      type: int
      sample: 5120
    bytes_total:
      description: The bytes of the whole image as sent (packets times packet size).
      type: int
      sample: 5120
    duration_ms:
      description: How long this printer's upgrade took.
      type: int
      sample: 9173
    en:
      description: The tool's closing line for this printer, in English.
      type: str
      sample: "Upgrade completed: wrote 5120 bytes in 9.2 s"
image:
  description: The image on the managed machine.
  returned: when the image could be read
  type: dict
  contains:
    path:
      description: Its absolute path.
      type: str
      sample: /srv/firmware/receipt-0400.upd
    size:
      description: Its size in bytes.
      type: int
      sample: 5000
    version:
      description: The version bytes the printers check, as velloran-cli reads them.
      type: str
      sample: "04 00"
    sha256:
      description: The SHA-256 of the image file, lowercase hexadecimal, to compare with the published one.
      type: str
      sample: "9f2c...e1"
cmd:
  description: The argument list velloran-cli was run with.
  returned: when velloran-cli ran
  type: list
  elements: str
  sample: [velloran-cli, upgrade, --link, usb, --json, /srv/firmware/receipt-0400.upd]
rc:
  description: velloran-cli's exit status (negative when a signal killed it).
  returned: when velloran-cli ran
  type: int
  sample: 0
problems:
  description: What was wrong with the tool's event stream or exit status, in English.
  returned: when velloran-cli ran
  type: list
  elements: str
  sample: ["line 7 is not JSON: \"Segmentation fault\""]
stderr:
  description: What velloran-cli wrote on standard error.
  returned: when velloran-cli ran
  type: str
  sample: ""
"""

import hashlib
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velloran.printer.plugins.module_utils import cli_events


def image_facts(module, path):
    """Size and SHA-256 of the image, or a clear failure when it cannot be read."""
    digest = hashlib.sha256()
    size = 0
    try:
        with open(path, "rb") as image:
            for block in iter(lambda: image.read(65536), b""):
                digest.update(block)
                size += len(block)
    except (IOError, OSError) as error:
        module.fail_json(msg="Cannot read the firmware image %s: %s" % (path, error.strerror or error),
                         changed=False)
    if size == 0:
        module.fail_json(msg="The firmware image %s is empty" % path, changed=False)
    return {"path": path, "size": size, "version": None, "sha256": digest.hexdigest()}


def find_cli(module, cli):
    if os.path.sep in cli:
        if os.path.isfile(cli) and os.access(cli, os.X_OK):
            return cli
        module.fail_json(msg="velloran-cli is not an executable file at %s" % cli, changed=False)
    found = module.get_bin_path(cli)
    if found is None:
        module.fail_json(msg="%s was not found on PATH (%s): install the velloran-cli package or give cli"
                         % (cli, os.environ.get("PATH", "")), changed=False)
    return found


def command_line(cli, params, check):
    # Values joined to their options, so that none can read as an option.
    argv = [cli, "upgrade", "--link", params["link"]]
    for port in params["ports"] or []:
        argv.append("--port=" + port)
    if params["all"]:
        argv.append("--all")
    if params["jobs"] is not None:
        argv += ["--jobs", str(params["jobs"])]
    if params["record"] and not check:
        argv.append("--record=" + os.path.abspath(params["record"]))
    if check:
        argv.append("--check")
    argv += ["--json", params["image"]]
    return argv


def _names(printers):
    return ", ".join(str(p["id"]) for p in printers)


def message(outcome, image, check):
    """The task's msg: what was done, then each failure with its reason."""
    printers = outcome["printers"]
    good = "ready" if check else "completed"
    done = [p for p in printers if p["result"] == good]
    bad = [p for p in printers if p["result"] != good]
    version = " (image version %s)" % image["version"] if image.get("version") else ""
    parts = []
    if done:
        verb = "Would upgrade" if check else "Upgraded"
        parts.append("%s %d printer%s%s: %s" % (verb, len(done), "" if len(done) == 1 else "s", version,
                                                 _names(done)))
    if bad:
        heading = "not ready" if check else "failed"
        parts.append("%d of %d printer%s %s: %s" % (
            len(bad), len(printers), "" if len(printers) == 1 else "s", heading,
            "; ".join("%s: %s" % (p["id"], p.get("en") or p.get("reason")) for p in bad)))
    final = outcome["final"]
    if not printers and final is not None and final.get("en"):
        parts.append(final["en"])
    for error in outcome["run_errors"]:
        if error.get("en") and error.get("en") not in " ".join(parts):
            parts.append(error["en"])
    parts.extend(outcome["problems"])
    if not parts:
        parts.append("velloran-cli reported no printer")
    return "; ".join(parts)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            image=dict(type="path", required=True),
            link=dict(type="str", required=True, choices=["usb", "serial", "lpt"]),
            ports=dict(type="list", elements="str"),
            all=dict(type="bool", default=False),
            jobs=dict(type="int"),
            record=dict(type="path"),
            cli=dict(type="path", default="velloran-cli"),
        ),
        supports_check_mode=True,
    )
    params = module.params
    # Not mutually_exclusive: a playbook passes all=false beside its ports.
    if params["all"] and params["ports"]:
        module.fail_json(msg="ports and all exclude each other: name the printers or take all of them")
    if params["all"] and params["link"] != "usb":
        module.fail_json(msg="all is for the USB link only (probing serial ports with boot frames is unsafe)")
    if params["jobs"] is not None and params["jobs"] < 1:
        module.fail_json(msg="jobs must be 1 or more")
    params["image"] = os.path.abspath(params["image"])
    cli = find_cli(module, params["cli"])
    image = image_facts(module, params["image"])
    check = module.check_mode
    ports = params["ports"] or []
    argv = command_line(cli, params, check)
    reader = cli_events.EventReader(several=len(ports) > 1 or params["all"], check=check,
                                    requested_port=ports[0] if ports else None, link=params["link"],
                                    named=None if params["all"] else max(len(ports), 1))
    try:
        outcome = cli_events.run(argv, reader)
    except OSError as error:
        module.fail_json(msg="Cannot run %s: %s" % (cli, error.strerror or error), cmd=argv, image=image,
                         changed=False)
    summary = outcome["summary"] or {}
    image["version"] = summary.get("version")
    sent = summary.get("sha256")
    if isinstance(sent, str) and sent != image["sha256"]:
        # The file was replaced between the module's reading and the tool's.
        outcome["problems"].append("velloran-cli read an image with SHA-256 %s, not the %s read before"
                                   % (sent, image["sha256"]))
        outcome["ok"] = False
    result = dict(changed=outcome["changed"], printers=outcome["printers"], image=image, cmd=argv,
                  rc=outcome["rc"], problems=outcome["problems"], stderr=outcome["stderr"],
                  msg=message(outcome, image, check))
    if not outcome["ok"]:
        module.fail_json(**result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
