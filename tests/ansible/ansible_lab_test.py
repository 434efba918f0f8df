#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The kavren.devices collection end to end: three site hosts (namespaces of
tools/lab/sites.sh) each with a device segment of emulated devices and an
sshd on its lab address only, and ansible-playbook in the controller (the
lab's host namespace) driving them over SSH with a key made for the test.
The site hosts share this machine's files, so they run the kavren just
built. Inside the lab only."""

import argparse
import json
import os
import re
import secrets
import shutil
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "cli"))
from clilab import Check, labprocess, read_jsonl  # noqa: E402

SITES = (1, 2, 3)
SHARED_MAC = "02-5A-99-00-00-01"  # one device reached from sites 1 and 2
TWIN_MAC = "02-5A-03-00-00-09"  # keeps the address that device 1 of site 3 leaves


def site_host(i):
    return f"198.18.1{i}.2"


def site_devices(i, password):
    devices = [dict(mac=f"02-5A-0{i}-00-00-0{j}", ip=f"198.19.1{i}.{130 + j}",
                    gateway=f"198.19.1{i}.1", name=f"S{i}-D{j}", description=f"site {i} no {j}",
                    password=password) for j in (1, 2, 3)]
    if i in (1, 2):
        devices.append(dict(mac=SHARED_MAC, ip=f"198.19.1{i}.150", password=password))
    if i == 3:
        devices.append(dict(mac=TWIN_MAC, ip="198.19.13.131", password=password))
    return devices


def planned(i, j):
    return dict(ip=f"198.19.1{i}.{200 + j}", description=f"moved {i}.{j}")


class Sites:
    def __init__(self, kavren, emulator):
        self.kavren, self.emulator = kavren, emulator
        self.dir = tempfile.mkdtemp(prefix="ansible_lab_")
        self.password = "pw-" + secrets.token_hex(5)
        self.processes = []
        self.emulators = {}
        self.lab_id = os.environ["KAVREN_LAB_ID"]

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def netns(self, kind, i):
        return f"kvl{self.lab_id}{kind}{i}"

    def up(self):
        subprocess.run([os.path.join(ROOT, "tools", "lab", "sites.sh"), "up", str(len(SITES))],
                       check=True, timeout=30)
        os.makedirs(self.path("ssh"))
        key = self.path("ssh", "id")
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key], check=True)
        shutil.copy(key + ".pub", self.path("ssh", "authorized_keys"))
        os.makedirs("/run/sshd", mode=0o755, exist_ok=True)  # sshd's privilege separation
        for i in SITES:
            self.start_site(i)
        self.write_inventory(key)

    def start_emulator(self, i, devices):
        path = self.path(f"devices{i}.json")
        with open(path, "w") as f:
            json.dump(devices, f)
        self.emulators[i] = labprocess.start_emulator(
            None, self.path(f"ready{i}-{len(self.processes)}"),
            ["--lifetime", "200", "--devices", path, "--log", self.path(f"emulator{i}.jsonl")],
            emulator=self.emulator, netns=self.netns("d", i))
        self.processes.append(self.emulators[i])

    def start_site(self, i):
        self.start_emulator(i, site_devices(i, self.password))
        host_key = self.path("ssh", f"host{i}")
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", host_key], check=True)
        config = self.path("ssh", f"sshd{i}.conf")
        with open(config, "w") as f:
            f.write(f"ListenAddress {site_host(i)}\nPort 22\nHostKey {host_key}\nPidFile none\n"
                    f"AuthorizedKeysFile {self.path('ssh', 'authorized_keys')}\n"
                    "PermitRootLogin prohibit-password\nPasswordAuthentication no\n"
                    "KbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
                    "AllowUsers root\nSubsystem sftp internal-sftp\n")
        # timeout ends it even when this script is killed before it can.
        with open(self.path(f"sshd{i}.log"), "w") as log:
            self.processes.append(subprocess.Popen(
                ["ip", "netns", "exec", self.netns("s", i), "timeout", "200", "/usr/sbin/sshd",
                 "-D", "-e", "-f", config], stderr=log, stdin=subprocess.DEVNULL))
        deadline = time.monotonic() + 10
        while True:
            try:
                socket.create_connection((site_host(i), 22), timeout=1).close()
                return
            except OSError:
                if time.monotonic() > deadline:
                    raise RuntimeError(f"sshd of site {i} did not start")
                time.sleep(0.1)

    def write_inventory(self, key):
        hosts = {f"site{i}": dict(ansible_host=site_host(i), kavren_adapters=[f"198.19.1{i}.1"],
                                  kavren_environment=dict(XDG_STATE_HOME=self.path(f"state{i}")))
                 for i in SITES}
        inventory = dict(all=dict(
            vars=dict(ansible_user="root", ansible_ssh_private_key_file=key,
                      ansible_python_interpreter=sys.executable, kavren_executable=self.kavren,
                      kavren_timeout=1, kavren_retries=1,
                      kavren_password="{{ lookup('ansible.builtin.env', 'KAVREN_TEST_PASSWORD') }}"),
            children=dict(kavren_sites=dict(hosts=hosts))))
        with open(self.path("inventory.yml"), "w") as f:
            json.dump(inventory, f, indent=1)
        # A site host that cannot be reached: no route leads to it.
        with open(self.path("down.yml"), "w") as f:
            json.dump(dict(kavren_sites=dict(hosts=dict(site4=dict(ansible_host="198.18.19.2")))),
                      f)
        with open(self.path("shared.yml"), "w") as f:
            json.dump(dict(kavren_sites=dict(hosts={f"site{i}": dict(kavren_site="plant")
                                                    for i in (1, 2)})), f)
        with open(self.path("unknown.csv"), "w") as f:
            f.write("site,mac,ip\nsite1,02-5A-01-00-00-01,198.19.11.240\nsite9,02-5A-09-00-00-01,\n")
        with open(self.path("plan.csv"), "w") as f:
            f.write("site,mac,ip,description\n")
            for i in SITES:
                for j in (1, 2, 3):
                    p = planned(i, j)
                    f.write(f"site{i},02-5A-0{i}-00-00-0{j},{p['ip']},{p['description']}\n")
        with open(self.path("ansible.cfg"), "w") as f:
            f.write("[defaults]\n")

    def env(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith("ANSIBLE_")}
        home = self.path("home")
        os.makedirs(home, exist_ok=True)
        env.update(
            HOME=home, ANSIBLE_CONFIG=self.path("ansible.cfg"), ANSIBLE_HOME=home + "/.ansible",
            ANSIBLE_LOCAL_TEMP=self.path("tmp-local"), ANSIBLE_REMOTE_TEMP=self.path("tmp-remote"),
            ANSIBLE_COLLECTIONS_PATH=os.path.join(ROOT, "ansible"),
            ANSIBLE_HOST_KEY_CHECKING="False", ANSIBLE_PIPELINING="True",
            ANSIBLE_SSH_ARGS="-F /dev/null -o ControlMaster=no -o UserKnownHostsFile=/dev/null "
                             "-o StrictHostKeyChecking=no",
            ANSIBLE_RETRY_FILES_ENABLED="False", ANSIBLE_NOCOLOR="True", ANSIBLE_TIMEOUT="10",
            ANSIBLE_STDOUT_CALLBACK="default", ANSIBLE_FORKS="5",
            KAVREN_TEST_PASSWORD=self.password)
        return env

    def playbook(self, label, name, *args, inventories=("inventory.yml",)):
        command = ["ansible-playbook"]
        for inventory in inventories:
            command += ["-i", self.path(inventory)]
        command += [os.path.join(ROOT, "ansible", "playbooks", name), *args]
        started = time.monotonic()
        result = subprocess.run(command, env=self.env(), capture_output=True, text=True,
                                timeout=120, stdin=subprocess.DEVNULL, cwd=self.dir)
        output = result.stdout + result.stderr
        with open(self.path(f"{label}.log"), "w") as f:
            f.write(output)
        print(f"{label}: exit {result.returncode} in {time.monotonic() - started:.1f} s")
        return result.returncode, output

    def config_requests(self):
        return sum(1 for i in SITES for entry in read_jsonl(self.path(f"emulator{i}.jsonl"))
                   if entry["kind"] == "config")

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.terminate()
                process.wait(5)
        subprocess.run([os.path.join(ROOT, "tools", "lab", "sites.sh"), "down", str(len(SITES))],
                       timeout=30)
        if os.environ.get("KAVREN_LAB_KEEP") == "1":
            print(f"ansible_lab_test: kept {self.dir}")
        else:
            shutil.rmtree(self.dir, ignore_errors=True)


def recap(output):
    """host -> (ok, changed, unreachable, failed) from the PLAY RECAP."""
    return {m[0]: tuple(int(n) for n in m[1:]) for m in re.findall(
        r"^(\S+)\s+:\s+ok=(\d+)\s+changed=(\d+)\s+unreachable=(\d+)\s+failed=(\d+)", output,
        re.M)}


def recap_text(output):
    return output[output.rfind("PLAY RECAP"):]


def scenario(sites):
    expected = {(d["mac"], f"site{i}") for i in SITES for d in site_devices(i, "")}

    # The merged list, with a fourth site host that cannot be reached.
    status, output = sites.playbook("discover", "discover.yml",
                                     "-e", f"kavren_output={sites.path('devices')}",
                                     inventories=("inventory.yml", "down.yml"))
    counts = recap(output)
    Check.that(status == 4 and counts.get("site4", (0, 0, 0))[2] == 1,
               "the unreachable site host fails alone", recap_text(output))
    Check.that(all(counts.get(f"site{i}", (0, 0, 1, 1))[2:] == (0, 0) for i in SITES)
               and "TASK [Write the merged list as JSON]" in output and "no list from site4" in output,
               "the other site hosts and the merge finish, naming the missing one",
               recap_text(output))
    rows = json.load(open(sites.path("devices.json"))) if os.path.exists(
        sites.path("devices.json")) else []
    Check.that({(r["mac"], r["site"]) for r in rows} == expected and len(rows) == len(expected),
               "the merged list has every device of every site once, with its site",
               json.dumps(rows, indent=1))
    flagged = {(r["mac"], r["site"]): r["flags"] for r in rows if r["flags"]}
    Check.that(flagged.keys() == {(SHARED_MAC, "site1"), (SHARED_MAC, "site2"),
                                  ("02-5A-03-00-00-01", "site3"), (TWIN_MAC, "site3")}
               and "MAC also at site2" in flagged.get((SHARED_MAC, "site1"), "")
               and "198.19.13.131 also reported by " + TWIN_MAC
               in flagged.get(("02-5A-03-00-00-01", "site3"), ""),
               "a MAC at two sites and an address of two devices are flagged", str(flagged))
    csv_text = open(sites.path("devices.csv"), newline="").read() if os.path.exists(
        sites.path("devices.csv")) else ""
    Check.that(csv_text.startswith(
        "mac,name,version,ip,mask,gateway,description,found_via,sender,site,flags\r\n")
        and csv_text.count("\r\n") == len(expected) + 1, "the CSV has the same rows", csv_text)

    plan = ["-e", f"kavren_plan_csv={sites.path('plan.csv')}"]
    # Check mode first: it says what would change and sends nothing.
    status, output = sites.playbook("check", "configure.yml", "--check", "--diff", "-v", *plan)
    Check.that(status == 0 and all(recap(output).get(f"site{i}", (0, 0))[1] == 1 for i in SITES),
               "check mode reports the sites as changed", output[-3000:])
    Check.that(output.count('"would_change 02-5A-') == 9, "every device would change",
               output[-3000:])
    Check.that('-    "ip": "198.19.11.131",' in output and '+    "ip": "198.19.11.201",' in output
               and '+    "description": "moved 1.1",' in output,
               "diff mode shows each device's settings before and after", output[-3000:])
    Check.that(sites.config_requests() == 0, "check mode sends no configuration request")

    # The real run, at -vvv: every device verified, the password nowhere.
    status, output = sites.playbook("apply", "configure.yml", "-vvv", *plan)
    Check.that(status == 0 and all(recap(output).get(f"site{i}", (0, 0))[1] == 1 for i in SITES),
               "the real run reports every site changed", recap_text(output))
    Check.that(output.count('"verified 02-5A-') == 9, "every device is verified",
               output[-3000:])
    sent = sites.config_requests()
    Check.that(sent >= 9, f"the devices received their requests ({sent})")
    Check.that(sites.password not in output, "the password is not in the -vvv output")
    for i in SITES:
        trail = read_jsonl(sites.path(f"state{i}", "kavren", "audit.jsonl"))
        Check.that({t["mac"] for t in trail} == {f"02-5A-0{i}-00-00-0{j}" for j in (1, 2, 3)},
                   f"site {i} keeps the audit trail of its own devices", str(trail)[:2000])

    # Again: nothing to do, nothing sent.
    status, output = sites.playbook("again", "configure.yml", "-e", "kavren_plan_csv=plan.csv")
    print(recap_text(output))
    Check.that(status == 0 and all(recap(output).get(f"site{i}", (0, 1))[1] == 0 for i in SITES),
               "the second run changes nothing", recap_text(output))
    Check.that(sites.config_requests() == sent, "the second run sends no configuration request")

    # A new password cannot be read back: the device is sent it although its
    # settings match (a plan from inventory variables this time).
    new_password = "new-" + secrets.token_hex(5)
    status, output = sites.playbook("password", "configure.yml", "-vvv", "--limit", "site1", "-e", json.dumps(
        dict(kavren_plan=[dict(mac="02-5A-01-00-00-02", new_password=new_password)])))
    Check.that(status == 0 and recap(output).get("site1", (0, 0))[1] == 1
               and output.count('"verified 02-5A-') == 1 and new_password not in output,
               "a new password is always sent, and never shown", output[-3000:])

    # A device that is not there fails its site's task, which names it, and
    # nothing is sent at that site.
    sent = sites.config_requests()
    status, output = sites.playbook("missing", "configure.yml", "--limit", "site2", "-e", json.dumps(
        dict(kavren_plan=[dict(mac="02-5A-02-00-00-01", ip="198.19.12.220"),
                          dict(mac="02-5A-02-00-00-77", ip="198.19.12.221")])))
    Check.that(status == 2 and recap(output).get("site2", (0, 0, 0, 0))[3] == 1
               and "02-5A-02-00-00-77 not_found" in output
               and "02-5A-02-00-00-01 failed (not sent: other devices" in output,
               "a missing device fails the task, named", output[-3000:])
    Check.that(sites.config_requests() == sent, "and nothing is sent at that site")
    more_scenarios(sites, new_password)

    # No file the runs leave behind holds the password; the emulators' own
    # files are the devices' side and do.
    leaks = []
    for folder, _, files in os.walk(sites.dir):
        for name in files:
            path = os.path.join(folder, name)
            if re.match(r"(devices\d\.json|emulator\d\.jsonl)$", name) or os.path.islink(path):
                continue
            with open(path, "rb") as f:
                content = f.read()
                if sites.password.encode() in content or new_password.encode() in content:
                    leaks.append(path)
    Check.that(not leaks, "no file left behind holds the password", "\n".join(leaks))
    with open(sites.path("devices.csv")) as f:
        print(f.read(), end="")


def more_scenarios(sites, new_password):
    # A plan naming a site that no host serves fails, and nothing is sent.
    sent = sites.config_requests()
    status, output = sites.playbook("unknown", "configure.yml", "-e", "kavren_plan_csv=unknown.csv")
    Check.that(status == 2 and "no host of the group serves, so nothing was sent: site9" in output
               and sites.config_requests() == sent, "a plan's unknown site fails the run", output[-3000:])

    # Discovery again: the older list is kept, each site's differences shown.
    status, output = sites.playbook("rediscover", "discover.yml", "-e", "kavren_output=devices")
    previous = sites.path("devices.previous.json")
    Check.that(status == 0 and os.path.exists(previous) and len(json.load(open(previous))) == 12
               and "site1: 02-5A-01-00-00-01 ip 198.19.11.131 -> 198.19.11.201" in output,
               "the previous list is kept and each site's differences shown", output[-3000:])

    # A device whose health check fails is rolled back and fails the task.
    status, output = sites.playbook("rollback", "configure.yml", "-l", "site1", "-e", json.dumps(dict(
        kavren_rollback=True, kavren_health_check="exit 3",
        kavren_plan=[dict(mac="02-5A-01-00-00-03", ip="198.19.11.230")])))
    Check.that(status == 2 and "02-5A-01-00-00-03 rolled_back (" in output,
               "a rolled-back device fails the task with its reason", output[-3000:])

    # No site host answers: the list is left as it was, and the run says so.
    before = open(sites.path("devices.json")).read()
    status, output = sites.playbook("none", "discover.yml", "-e", "kavren_output=devices",
                                    inventories=("down.yml",))
    Check.that(status == 4 and "no site host answered" in output
               and open(sites.path("devices.json")).read() == before,
               "no answer leaves the older list, saying so", output[-3000:])

    # Two hosts serving one site, and --limit without localhost.
    status, output = sites.playbook("shared", "discover.yml", "-l", "site1,site2", "-e",
                                    "kavren_output=shared", inventories=("inventory.yml", "shared.yml"))
    rows = json.load(open(sites.path("shared.json"))) if os.path.exists(sites.path("shared.json")) else []
    Check.that(status == 0 and {(r["site"], r["host"]) for r in rows} == {("plant", "site1"), ("plant", "site2")}
               and len(rows) == 8 and "no list from" not in output
               and all("one of the site's 2 hosts" in r["flags"] for r in rows)
               and sum("MAC also found by" in r["flags"] for r in rows) == 2,
               "two hosts of one site keep both lists, flagged, within the limit", json.dumps(rows, indent=1))

    # A contested MAC: the device's own reply named with sender.
    sites.emulators[3].terminate()
    sites.emulators[3].wait(5)
    genuine = "02-5A-03-00-00-02"
    sites.start_emulator(3, site_devices(3, sites.password) + [
        dict(mac=genuine, ip="198.19.13.170", password=sites.password, description="impostor")])
    status, output = sites.playbook("contested", "configure.yml", "-l", "site3", "-e", json.dumps(dict(
        kavren_plan=[dict(mac=genuine, sender="198.19.13.132", description="trusted")])))
    Check.that(status == 0 and f'"verified {genuine}"' in output,
               "a contested MAC is configured through the sender named", output[-3000:])
    status, output = sites.playbook("contested-list", "discover.yml", "-l", "site3", "-e",
                                    "kavren_output=contested")
    rows = json.load(open(sites.path("contested.json"))) if os.path.exists(
        sites.path("contested.json")) else []
    Check.that(status == 0 and any(r["mac"] == genuine and "MAC also claimed by" in r["flags"] for r in rows)
               and {r["site"] for r in rows} == {"site3"}, "the merged list flags the contested MAC",
               json.dumps(rows, indent=1))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kavren", required=True)
    parser.add_argument("--emulator", required=True)
    args = parser.parse_args()
    labprocess.require_lab("ansible_lab_test")
    started = time.monotonic()
    sites = Sites(os.path.abspath(args.kavren), args.emulator)
    try:
        sites.up()
        scenario(sites)
    finally:
        if Check.failures:
            os.environ["KAVREN_LAB_KEEP"] = "1"
        sites.close()
    print(f"ansible_lab_test: {time.monotonic() - started:.1f} s")
    if Check.failures:
        sys.exit(f"ansible_lab_test: {Check.failures} check(s) failed")
    print("ansible_lab_test: passed")


if __name__ == "__main__":
    main()
