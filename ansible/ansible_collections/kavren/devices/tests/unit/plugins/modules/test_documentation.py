# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""The documentation against validate-modules' schema, from the installed
ansible_test (ansible-test sanity needs a network), in 2.14's markup."""
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import glob
import os
import re
import sys

import pytest
import yaml

import ansible_test
from ansible_collections.kavren.devices.plugins.doc_fragments import network
from ansible_collections.kavren.devices.plugins.modules import device_config, device_info

sys.path.insert(0, os.path.join(os.path.dirname(ansible_test.__file__),
                                "_util", "controller", "sanity", "validate-modules"))
from validate_modules import schema  # noqa: E402 pylint: disable=wrong-import-position

FILTERS = os.path.join(os.path.dirname(__file__), "..", "..", "..", "..", "plugins", "filter", "*.yml")
# Markup from ansible-core 2.15 on, shown as is by 2.14 (meta/runtime.yml).
NEWER_MARKUP = re.compile(r"\b[OVERP]\(")


def documents():
    fragment = network.ModuleDocFragment.DOCUMENTATION
    for module in (device_info, device_config):
        documentation = yaml.safe_load(module.DOCUMENTATION)
        documentation["options"].update(yaml.safe_load(fragment)["options"])
        documentation["requirements"] = yaml.safe_load(fragment)["requirements"]
        yield pytest.param("module", documentation, yaml.safe_load(module.RETURN),
                           module.DOCUMENTATION + module.RETURN + fragment, id=documentation["module"])
    for path in sorted(glob.glob(FILTERS)):
        with open(path) as f:
            text = f.read()
        yield pytest.param("filter", yaml.safe_load(text)["DOCUMENTATION"], yaml.safe_load(text)["RETURN"], text,
                           id=os.path.basename(path))


@pytest.mark.parametrize("kind, documentation, returned, text", documents())
def test_documentation(kind, documentation, returned, text):
    for validator, document in ((schema.doc_schema(documentation.get("module") or documentation["name"],
                                                   for_collection=True, plugin_type=kind), documentation),
                                (schema.return_schema(for_collection=True, plugin_type=kind), returned)):
        try:
            validator(document)
        except Exception as error:  # voluptuous gathers every error
            pytest.fail("; ".join("%s at %s" % (e.msg, "/".join(map(str, e.path))) for e in error.errors))
    assert not NEWER_MARKUP.search(text)
