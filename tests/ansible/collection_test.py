#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The kavren.devices collection's rules without a device: which results
fail a task, what counts as changed, what a diff shows, the plan file the
modules write and the site filters of the playbooks; that each module's
documentation says what the options it accepts do, and that ansible-doc reads
it. Runs under the Python that Ansible itself uses."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import ansible  # noqa: F401
except ImportError:
    # Another Python than Ansible's started us: take the one its tools name.
    with open(shutil.which("ansible-doc")) as script:
        python = script.readline()[2:].strip()
    os.execv(python, [python] + sys.argv)

import yaml  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "ansible"))
from ansible_collections.kavren.devices.plugins.doc_fragments import network  # noqa: E402
from ansible_collections.kavren.devices.plugins.filter import sites  # noqa: E402
from ansible_collections.kavren.devices.plugins.module_utils import kavren  # noqa: E402
from ansible_collections.kavren.devices.plugins.modules import (  # noqa: E402
    device_config, device_info)


def entry(state, sent=False, new_password=False, message=""):
    return dict(mac="02-00-00-00-00-01", state=state, sent={"attempts": 1} if sent else None,
                new_password=new_password, message=message, reason="",
                before=dict(ip="10.0.0.5", mask="255.0.0.0", gateway="0.0.0.0", description="a"),
                requested=dict(ip="10.0.0.6", mask="255.0.0.0", gateway="0.0.0.0",
                               description="a"))


class ModuleRules(unittest.TestCase):
    def test_failure_rule(self):
        # (state, verify, check mode, fails)
        table = [("unchanged", True, False, False), ("verified", True, False, False),
                 ("acknowledged", True, False, True), ("acknowledged", False, False, False),
                 ("failed", False, False, True), ("not_found", True, False, True),
                 ("would_change", True, True, False), ("would_change", True, False, True),
                 ("not_found", True, True, True), ("failed", True, True, True)]
        for state, verify, check, fails in table:
            failed = kavren.failed_devices([dict(mac="m", state=state, message="")], verify, check)
            self.assertEqual(bool(failed), fails, (state, verify, check))

    def test_changed_and_diff(self):
        listed = [dict(mac="02:00:00:00:00:01")]
        # (entry, check mode, changed)
        table = [(entry("unchanged"), False, False), (entry("verified", sent=True), False, True),
                 (entry("failed", sent=True), False, True), (entry("failed"), False, False),
                 (entry("would_change"), True, True), (entry("unchanged"), True, False)]
        for e, check, changed in table:
            results, diffs, was = kavren.run_results(dict(devices=[e]), listed, check)
            self.assertEqual(was, changed, (e["state"], check))
            self.assertEqual(results[0]["mac"], "02-00-00-00-00-01")
            self.assertEqual((diffs[0]["before"]["ip"], diffs[0]["after"]["ip"]),
                             ("10.0.0.5", "10.0.0.6"))
            self.assertNotIn("new_password", diffs[0]["after"])
        _, diffs, _ = kavren.run_results(dict(devices=[entry("verified", True, True)]), listed,
                                         False)
        self.assertEqual(diffs[0]["after"]["new_password"], "(set)")
        # A document that does not answer every listed device is not used.
        self.assertIsNone(kavren.parse_run('{"devices": []}', listed))

    def test_plan_file(self):
        plan = kavren.plan_csv([dict(mac="m1", ip=None, description='a, "b"', new_password="p"),
                                dict(mac="m2", gateway="10.0.0.1", description="=1+2",
                                     new_password="'-x")])
        self.assertEqual(plan, 'mac,ip,mask,gateway,description,new_password\r\n'
                               'm1,,,,"a, ""b""",p\r\nm2,,,10.0.0.1,\'=1+2,\'\'-x\r\n')
        # What kavren writes comes back as it was, whatever it starts with.
        for value in ("=1+2", "'=x", "'plain", "-", "@a", "\tb", "name"):
            self.assertEqual(kavren.csv_value(kavren.csv_cell(value)), value)


class SiteFilters(unittest.TestCase):
    def test_merge_flags(self):
        def d(mac, ip):
            return dict(mac=mac, ip=ip)
        rows = sites.merge_sites({"b": [d("M2", "10.0.0.2"), d("M1", "10.0.0.1")],
                                  "a": [d("M1", "10.0.0.9"), d("M3", "10.0.0.1"),
                                        d("M4", "10.0.0.1")]})
        self.assertEqual([(r["site"], r["mac"], r["flags"]) for r in rows], [
            ("a", "M1", "MAC also at b"), ("a", "M3", "address 10.0.0.1 also reported by M4"),
            ("a", "M4", "address 10.0.0.1 also reported by M3"), ("b", "M1", "MAC also at a"),
            ("b", "M2", "")])
        self.assertTrue(sites.devices_csv(rows).startswith(
            "mac,name,version,ip,mask,gateway,description,found_via,sender,site,flags\r\n"))

    def test_site_plan(self):
        text = "site,mac,ip,description,new_password\nx,M1,10.0.0.1,,\ny,M2,,d,\nx,M3,,,p\n"
        self.assertEqual(sites.site_plan(text, "x"),
                         [dict(mac="M1", ip="10.0.0.1"), dict(mac="M3", new_password="p")])
        for bad in ("mac,ip\nM1,10.0.0.1\n", "site,mac,colour\nx,M1,red\n"):
            with self.assertRaises(ValueError):
                sites.site_plan(bad, "x")


class Documentation(unittest.TestCase):
    def test_documentation_matches_the_accepted_options(self):
        def compare(documented, accepted, where):
            self.assertEqual(sorted(documented), sorted(accepted), where)
            for name, option in accepted.items():
                doc = documented[name]
                for key, default in (("type", "str"), ("elements", None), ("required", False),
                                     ("default", None)):
                    self.assertEqual(doc.get(key, default), option.get(key, default),
                                     f"{where}.{name} {key}")
                if option.get("no_log"):
                    self.assertIn("never", " ".join(doc["description"]).lower(), name)
                compare(doc.get("suboptions", {}), option.get("options", {}), f"{where}.{name}")
        for module in (device_info, device_config):
            documentation = yaml.safe_load(module.DOCUMENTATION)
            documented = dict(documentation["options"])
            self.assertEqual(documentation["extends_documentation_fragment"],
                             ["kavren.devices.network"])
            documented.update(yaml.safe_load(network.ModuleDocFragment.DOCUMENTATION)["options"])
            compare(documented, module.ARGUMENTS, module.__name__)
            yaml.safe_load(module.EXAMPLES)
            yaml.safe_load(module.RETURN)

    def test_ansible_doc(self):
        home = tempfile.mkdtemp(prefix="ansible_doc_")
        self.addCleanup(shutil.rmtree, home, True)
        env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=os.path.join(ROOT, "ansible"),
                   ANSIBLE_HOME=home, ANSIBLE_LOCAL_TEMP=home, ANSIBLE_NOCOLOR="1")
        for module, option in (("device_info", "retries"), ("device_config", "new_password")):
            result = subprocess.run(["ansible-doc", "kavren.devices." + module], env=env,
                                    capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            for text in (option, "EXAMPLES", "RETURN VALUES"):
                self.assertIn(text, result.stdout, module)


if __name__ == "__main__":
    unittest.main()
