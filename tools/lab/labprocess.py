# SPDX-License-Identifier: GPL-3.0-or-later
"""What the Python scripts that run inside the lab share (the command
line's lab scenarios, the soak, the loss benchmark): the refusal to run
anywhere else, and the device emulator started in a device namespace."""

import os
import subprocess
import sys
import time

LAB_SH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lab.sh")
EMULATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "emulator",
                        "kavren_emulator.py")


def require_lab(who):
    """Ends the script unless it runs in a lab of tools/lab/lab.sh whose
    namespace has no way out (lab.sh check says why not)."""
    if os.environ.get("KAVREN_LAB") != "1":
        sys.exit(f"{who}: not inside the lab; run me through tools/lab/lab.sh")
    check = subprocess.run([os.environ.get("KAVREN_LAB_SH", LAB_SH), "check"],
                           capture_output=True, text=True)
    if check.returncode != 0:
        sys.exit(f"{who}: refusing to send: {check.stderr.strip() or check.stdout.strip()}")


def start_emulator(node, ready, options, stderr=subprocess.DEVNULL, emulator=EMULATOR,
                   wait_seconds=10, netns=None):
    """The emulator in the lab's device namespace `node` ("A" or "B"), or in
    the namespace named `netns` (a site of tools/lab/sites.sh), with
    `options` (a --lifetime among them, so that it ends by itself); returns
    its process once it has written the file `ready`. Raises RuntimeError
    when it does not come up."""
    process = subprocess.Popen(
        ["ip", "netns", "exec", netns or os.environ[f"KAVREN_LAB_NODE_{node}"], sys.executable,
         emulator, "--ready-file", ready, *options], stderr=stderr)
    deadline = time.monotonic() + wait_seconds
    while not os.path.exists(ready):
        if process.poll() is not None or time.monotonic() > deadline:
            process.kill()
            process.wait()
            raise RuntimeError("the emulator did not start")
        time.sleep(0.05)
    return process
