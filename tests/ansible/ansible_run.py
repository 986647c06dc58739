"""Runs ansible-core's commands on the collection of this checkout alone."""

import os
import subprocess

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BIN = os.path.join(os.environ.get("VELLORAN_BUILD_DIR", os.path.join(ROOT, "build")), "bin")


def run(command, folder, timeout=300, **environment):
    """Runs an ansible command in folder (no ansible.cfg there), finding
    only this checkout's collection and ansible-core's own plugins, under
    the UTF-8 locale that ansible-core requires."""
    environment = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=os.path.join(ROOT, "ansible"),
                       ANSIBLE_COLLECTIONS_SCAN_SYS_PATH="false", ANSIBLE_NOCOLOR="1", ANSIBLE_FORCE_COLOR="0",
                       ANSIBLE_LOCAL_TEMP=os.path.join(folder, "tmp"), ANSIBLE_REMOTE_TEMP=os.path.join(folder, "tmp"),
                       ANSIBLE_RETRY_FILES_ENABLED="false", LC_ALL="C.UTF-8", **environment)
    return subprocess.run(command, cwd=folder, env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, universal_newlines=True, timeout=timeout)
