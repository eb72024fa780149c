#!/usr/bin/env python3
"""Checks what tolvctl list --json says of each value's Windows policy
against Windows' own templates: the template and policy that write the
value, the policy's class on the value's side, its English name, its place
in the Group Policy editor and its supportedOn text, each read from the
ADMX and en-US ADML files. Usage: templates.py TOLVCTL-COMMAND... The
templates are looked for in ../shared/reference/windows-policies beside the
source tree; without them the check is skipped with one line."""
import json
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

here = os.path.dirname(os.path.abspath(__file__))
folder = os.path.join(here, '..', '..', 'shared', 'reference', 'windows-policies')
if not os.path.isdir(folder):
    print('templates: skipped: no Windows templates at ' + os.path.normpath(folder))
    sys.exit(0)

NS = '{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}'


def stringref(text):
    return re.fullmatch(r'\$\(string\.(.+)\)', text).group(1)


# Every template: its namespaces, categories, supportedOn definitions and
# policies, with the texts of its ADML.
templates = {}
admls = {n.lower(): n for n in os.listdir(os.path.join(folder, 'en-US'))}
for name in os.listdir(folder):
    if not name.lower().endswith('.admx'):
        continue
    root = ET.parse(os.path.join(folder, name)).getroot()
    adml = ET.parse(os.path.join(folder, 'en-US', admls[name[:-5].lower() + '.adml'])).getroot()
    strings = {s.get('id'): s.text or '' for s in adml.iter(NS + 'string')}
    target = root.find(NS + 'policyNamespaces/' + NS + 'target')
    using = {u.get('prefix'): u.get('namespace') for u in root.iter(NS + 'using')}
    using[target.get('prefix')] = target.get('namespace')
    templates[name] = dict(root=root, strings=strings, namespace=target.get('namespace'), using=using)

categories, definitions = {}, {}
for name, t in templates.items():
    for c in t['root'].iter(NS + 'category'):
        parent = c.find(NS + 'parentCategory')
        categories[(t['namespace'], c.get('name'))] = (t['strings'][stringref(c.get('displayName'))],
                                                      parent.get('ref') if parent is not None else None, t)
    for d in t['root'].iter(NS + 'definition'):
        definitions[(t['namespace'], d.get('name'))] = t['strings'][stringref(d.get('displayName'))]


def resolve(ref, t):
    prefix, _, local = ref.rpartition(':')
    return (t['using'][prefix] if prefix else t['namespace'], local)


def chain(ref, t):
    parts = []
    key = resolve(ref, t)
    while key:
        text, parent, owner = categories[key]
        parts.insert(0, text)
        key = resolve(parent, owner) if parent else None
    return parts


def writes(policy, key, value):
    """Whether the policy writes the value: by its own valueName, an
    element's, or an item of its enabled or disabled list."""
    own = policy.get('key')
    places = [(own, policy.get('valueName'))]
    elements = policy.find(NS + 'elements')
    for e in (elements if elements is not None else []):
        places.append((e.get('key') or own, e.get('valueName')))
    for listname in ('enabledList', 'disabledList'):
        for l in policy.iter(NS + listname):
            for item in l.iter(NS + 'item'):
                places.append((item.get('key') or l.get('defaultKey') or own, item.get('valueName')))
    return any(k and v and k.lower() == key.lower() and v.lower() == value.lower() for k, v in places)


listing = json.loads(subprocess.run(sys.argv[1:] + ['list', '--json'], capture_output=True, check=True,
                                    encoding='utf-8').stdout)
failures, values, defined = [], {}, 0
for setting in listing:
    for v in setting['values']:
        values[(v['root'], v['key'].lower(), v['value'].lower())] = v
for (rootname, _, _), v in values.items():
    side = 'User' if rootname == 'HKCU' else 'Machine'
    found = [(name, p) for name, t in templates.items() for p in t['root'].iter(NS + 'policy')
             if p.get('class') in (side, 'Both') and writes(p, v['key'], v['value'])]
    what = rootname + '\\' + v['key'] + '\\' + v['value']
    w = v.get('windows', 'missing')
    if not found:
        if w is not None:
            failures.append('%s: no template defines it, but list says %r' % (what, w))
        continue
    defined += 1
    if not w:
        failures.append('%s: %s defines it as %s, but list says %r' % (what, found[0][0], found[0][1].get('name'), w))
        continue
    name, p = next(((n, q) for n, q in found if n == w['template'] and q.get('name') == w['policy']), found[0])
    t = templates[name]
    configuration = 'User Configuration' if side == 'User' else 'Computer Configuration'
    want = {
        'template': name,
        'policy': p.get('name'),
        'name': t['strings'][stringref(p.get('displayName'))],
        'path': '\\'.join([configuration, 'Administrative Templates'] +
                          chain(p.find(NS + 'parentCategory').get('ref'), t)),
        'supported_on': definitions[resolve(p.find(NS + 'supportedOn').get('ref'), t)],
    }
    for field, text in want.items():
        if w.get(field) != text:
            failures.append('%s: %s is %r, the templates say %r' % (what, field, w.get(field), text))

print('templates: %d values, %d defined by a template' % (len(values), defined))
for f in failures:
    print('templates: ' + f)
sys.exit(1 if failures or len(values) != 69 else 0)
