#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The audit trail when `kavren configure` dies at the worst moment, inside a
lab of tools/lab/lab.sh: the process is killed (SIGKILL, through the test
hook KAVREN_TEST_STOP_AFTER_SEND) the moment its request is handed to the
socket, before any answer. The device has taken the new settings; the
trail, written ahead, still holds the change, so `restore` brings the old
settings back, also past a line torn by a crash. On the way: no request
without its trail line, the modes the trail is created with, and the
warning for a password file others can read."""

import json
import os
import signal
import stat
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import clilab  # noqa: E402
from clilab import FAST, PASSWORD, Check, audit_changes, device, text  # noqa: E402

MAC = "02-AA-00-00-00-01"


def main():
    clilab.main("audit trail", lambda lab, _args: killed_then_restored(lab))


def killed_then_restored(lab):
    lab.start("A", [device(MAC, "198.18.0.130", gateway="198.18.0.1", description="before")])
    os.umask(0o022)  # the usual one: the trail must not rely on it

    # No trail, no request: a change that cannot be recorded is not made.
    blocked = lab.path("not-a-folder")
    open(blocked, "w").close()
    refused = lab.run("configure", "--mac", MAC, "--ip", "198.18.0.199", "--password-env",
                      "KAVREN_TEST_PW", "--audit-file", os.path.join(blocked, "audit.jsonl"),
                      *FAST)
    Check.that(refused.returncode == 1 and f"{MAC}  not sent: the audit trail cannot be "
               "written" in refused.stdout.decode("utf-8"),
               "an unwritable trail stops the request", text(refused))
    Check.that("config" not in lab.logged_kinds(0), "nothing sent without a trail line")
    trail = os.path.join(lab.env["XDG_STATE_HOME"], "kavren", "audit.jsonl")
    env = dict(lab.env, KAVREN_TEST_STOP_AFTER_SEND="1")
    killed = lab.run_with(env, "configure", "--mac", MAC, "--ip", "198.18.0.199",
                          "--description", "after", "--password-env", "KAVREN_TEST_PW",
                          *FAST)
    Check.that(killed.returncode == -signal.SIGKILL, "the hook kills configure", text(killed))
    logged = lab.wait_logged(0, "config", 1)
    Check.that(logged.count("config") == 1, "its request reached the device", str(logged))
    _, found = lab.discover_json()
    Check.that(found.get(MAC, {}).get("ip") == "198.18.0.199",
               "the device took the new settings", str(found))
    with open(trail) as f:
        written = f.read()
    changes = list(audit_changes(written).values())
    Check.that(len(changes) == 1 and [e["result"] for e in changes[0]] == ["sending"] and
               changes[0][0]["before"]["ip"] == "198.18.0.130" and
               changes[0][0]["after"]["ip"] == "198.18.0.199" and
               changes[0][0]["destination"] == "198.18.0.130",
               "the change is in the trail, written before the request left", written)
    Check.that(stat.S_IMODE(os.stat(trail).st_mode) == 0o600 and
               stat.S_IMODE(os.stat(os.path.dirname(trail)).st_mode) == 0o700,
               "trail 0600 in a folder 0700",
               oct(os.stat(trail).st_mode) + " " + oct(os.stat(os.path.dirname(trail)).st_mode))

    # Power loss in the middle of another run's line: no line end, half a
    # JSON object. Restore skips it, says where, and reads on.
    with open(trail, "a") as f:
        f.write('{"mac":"' + MAC + '","result":"send')
    password_file = lab.path("password.txt")
    with open(password_file, "w") as f:
        f.write(PASSWORD + "\n")
    os.chmod(password_file, 0o644)
    restored = lab.run("restore", "--mac", MAC, "--password-file", password_file, "--verify",
                       *FAST)
    err = restored.stderr.decode("utf-8", "replace")
    Check.that(restored.returncode == 0, "restore after the kill succeeds", text(restored))
    Check.that(f"kavren: warning: audit trail '{trail}' line 2 is damaged; skipped" in err,
               "the torn line is named with its file and number", err)
    Check.that(f"kavren: warning: password file '{password_file}' is readable by others "
               "(mode 0644)" in err, "a password file others can read is warned about", err)
    _, found = lab.discover_json()
    d = found.get(MAC, {})
    Check.that(d.get("ip") == "198.18.0.130" and d.get("description") == "before",
               "the settings from before the killed run are back", str(d))
    with open(trail) as f:
        lines = f.read().splitlines()
    Check.that(len(lines) == 5 and lines[1].endswith('"result":"send') and
               all(json.loads(line)["mac"] == MAC for line in lines[2:]),
               "restore's own lines start on a line of their own after the torn one",
               "\n".join(lines))

    os.chmod(password_file, 0o600)
    os.chmod(trail, 0o644)
    quiet = lab.run("restore", "--mac", MAC, "--password-file", password_file, *FAST)
    err = quiet.stderr.decode("utf-8", "replace")
    Check.that("password file" not in err, "a private password file draws no warning", err)
    Check.that(err.count(f"kavren: warning: audit trail '{trail}' is open to others "
                         "(mode 0644)") == 1 and
               stat.S_IMODE(os.stat(trail).st_mode) == 0o644,
               "a wider trail is warned about once and left as it is", err)


if __name__ == "__main__":
    main()
