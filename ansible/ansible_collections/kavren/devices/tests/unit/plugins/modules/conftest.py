# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""main() as Ansible runs it; run_command answers from a script and records
each call: its command, its environment, and its files' mode and text."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import stat

import pytest

from ansible.module_utils import basic
from ansible.module_utils.common.text.converters import to_bytes


class Finished(Exception):
    pass


def _read(path):
    with open(path, newline="") as f:
        return stat.S_IMODE(os.stat(path).st_mode), f.read()


@pytest.fixture
def run_module(monkeypatch, tmp_path):
    def run(module, args, answers, check_mode=False, diff=False):
        calls, warnings = [], []
        args = dict(args, _ansible_check_mode=check_mode, _ansible_diff=diff,
                    _ansible_tmpdir=str(tmp_path), _ansible_remote_tmp=str(tmp_path),
                    _ansible_keep_remote_files=False)
        monkeypatch.setattr(basic, "_ANSIBLE_ARGS", to_bytes(json.dumps(dict(ANSIBLE_MODULE_ARGS=args))))

        def run_command(self, argv, environ_update=None, **kwargs):
            calls.append(dict(cmd=argv, env=environ_update, files=dict(
                (p, _read(p)) for p in argv if os.path.isfile(p) and p.endswith((".csv", ".json")))))
            answer = answers.pop(0)
            if isinstance(answer, Exception):
                raise answer
            return answer

        def finish(failed):
            def raiser(self, **result):
                raise Finished(dict(result, failed=failed))
            return raiser
        monkeypatch.setattr(basic.AnsibleModule, "run_command", run_command)
        monkeypatch.setattr(basic.AnsibleModule, "get_bin_path", lambda self, name, **kw: "/bin/" + name)
        monkeypatch.setattr(basic.AnsibleModule, "warn", lambda self, text: warnings.append(text))
        monkeypatch.setattr(basic.AnsibleModule, "exit_json", finish(False))
        monkeypatch.setattr(basic.AnsibleModule, "fail_json", finish(True))
        try:
            module.main()
        except Finished as end:
            result = end.args[0]
        except Exception as error:  # pylint: disable=broad-except
            result = dict(failed=True, msg="raised %r" % error)
        return dict(result, calls=calls, warnings=warnings, left=os.listdir(str(tmp_path)))
    return run
