#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a collection's maintainers run before a release, with Debian's tools
# instead of "ansible-test sanity" (which fetches its own environments):
# ansible-lint's production profile, yamllint, pylint and pycodestyle with
# ansible-test's own settings, a compile of every Python file for each
# Python the collection claims, the unit tests (documentation schema
# included), and a build whose tarball must hold LICENSE, the changelog and
# the docs. Nothing here needs a network; ansible-lint runs without one.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
base=$root/ansible
collection=$base/ansible_collections/kavren/devices
# The Python that Ansible itself runs on, whatever python3 is first on PATH.
python=$(sed -n '1s/^#! *//p' "$(command -v ansible-playbook)")
sanity=$($python -c 'import ansible_test, os; print(os.path.dirname(ansible_test.__file__))')/_util/controller/sanity
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CACHE_HOME=$work/cache ANSIBLE_HOME=$work/ansible ANSIBLE_LOCAL_TEMP=$work/tmp
export ANSIBLE_NOCOLOR=1 NO_COLOR=1 PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=$base
failed=0
step() {
    local name=$1
    shift
    if "$@" >"$work/out" 2>&1; then
        echo "$name: passed"
    else
        echo "$name: FAILED"
        cat "$work/out"
        failed=$((failed + 1))
    fi
}

cd "$base"
# ansible-compat hands its collection finder the parent of this path, so it
# names the ansible_collections folder itself.
step ansible-lint env ANSIBLE_COLLECTIONS_PATH="$base/ansible_collections" \
    unshare -rn ansible-lint --offline --profile production --nocolor
grep -h "profile" "$work/out" || true
step yamllint yamllint -s .
cd "$collection"
python_files=$(find plugins tests -name '*.py' | sort)
step pycodestyle pycodestyle --max-line-length 160 --ignore "$(paste -sd, "$sanity/pep8/current-ignore.txt")" \
    $python_files
step pylint pylint --rcfile "$sanity/pylint/config/collection.cfg" --max-line-length 160 plugins
# Modules run on the managed host: Python 3.6 on (tests/config.yml). The
# filters run on the controller: what ansible-core 2.14 needs, 3.9 on.
step py_compile $python -c '
import ast, os, py_compile, sys
for path in sys.argv[1:]:
    py_compile.compile(path, doraise=True, cfile=os.path.join(os.environ["HOME"], "compiled.pyc"))
    floor = (3, 6) if "/module" in path else (3, 9)
    ast.parse(open(path).read(), path, feature_version=floor)
' $(find plugins -name '*.py')
step unit-tests $python -m pytest -q -p no:cacheprovider tests/unit
step build ansible-galaxy collection build --output-path "$work/build" .
tarball=$(ls "$work"/build/kavren-devices-*.tar.gz 2>/dev/null || true)
if [ -n "$tarball" ]; then
    listing=$(tar -tzvf "$tarball")
    for file in LICENSE CHANGELOG.md changelogs/changelog.yaml README.md plugins/filter/merge_sites.yml; do
        if ! grep -q "^-.* $file$" <<<"$listing"; then
            echo "build: the tarball holds no file $file"
            failed=$((failed + 1))
        fi
    done
fi
[ "$failed" -eq 0 ] || { echo "ansible_checks: $failed check(s) failed"; exit 1; }
echo "ansible_checks: passed"
