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
schema = pytest.importorskip("validate_modules.schema")

ROOT = os.path.join(os.path.dirname(__file__), "..", "..", "..", "..")
# Markup from ansible-core 2.15 on, shown as is by 2.14 (meta/runtime.yml).
NEWER_MARKUP = re.compile(r"\b[OVERP]\(")


def check(validator, document):
    try:
        validator(document)
    except Exception as error:  # voluptuous gathers every error
        pytest.fail("; ".join("%s at %s" % (e.msg, "/".join(map(str, e.path))) for e in error.errors))


@pytest.mark.parametrize("module", [device_info, device_config])
def test_module_documentation(module):
    name = module.__name__.rsplit(".", 1)[1]
    documentation = yaml.safe_load(module.DOCUMENTATION)
    fragment = yaml.safe_load(network.ModuleDocFragment.DOCUMENTATION)
    documentation["options"].update(fragment["options"])
    documentation["requirements"] = fragment["requirements"]
    check(schema.doc_schema(name, for_collection=True), documentation)
    check(schema.return_schema(for_collection=True), yaml.safe_load(module.RETURN))
    for text in (module.DOCUMENTATION, module.RETURN, network.ModuleDocFragment.DOCUMENTATION):
        assert not NEWER_MARKUP.search(text), name


@pytest.mark.parametrize("path", sorted(glob.glob(os.path.join(ROOT, "plugins", "filter", "*.yml"))))
def test_filter_documentation(path):
    with open(path) as f:
        text = f.read()
    document = yaml.safe_load(text)
    name = os.path.basename(path)[:-4]
    check(schema.doc_schema(name, for_collection=True, plugin_type="filter"), document["DOCUMENTATION"])
    check(schema.return_schema(for_collection=True, plugin_type="filter"), document["RETURN"])
    assert not NEWER_MARKUP.search(text), name
