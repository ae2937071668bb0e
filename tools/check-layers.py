#!/usr/bin/env python3
"""Checks the tree's layering by its include lines.

- The machine (platform/sim) never includes its controls (platform/sim/control).
- The lab, the benches, the fuzzers, the driver installation and the tests (but the machine's
  own unit tests) reach the machine only through the controls.
- No include circle among vtxlab's modules (a .h and its .cpp are one module).

Prints each offence on a line of its own and exits 1 when there is one.
"""
import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
REPO = Path(__file__).resolve().parent.parent


def sources(*folders):
    for folder in folders:
        for path in sorted((REPO / folder).rglob('*')):
            if path.suffix in ('.cpp', '.h') and path.is_file():
                yield path


def includes(path):
    for number, line in enumerate(path.read_text(encoding='utf-8').splitlines(), 1):
        match = INCLUDE.match(line)
        if match:
            yield number, match.group(1)


def name(path):
    return str(path.relative_to(REPO))


def upward_arrows():
    for path in sources('platform/sim'):
        if 'platform/sim/control/' in name(path):
            continue
        for number, header in includes(path):
            if header.startswith('platform/sim/control/'):
                yield f'{name(path)}:{number}: the machine includes a control: {header}'
    for path in sources('tools/lab', 'bench', 'fuzz', 'driver_install', 'tests'):
        if name(path).startswith('tests/sim/'):
            continue  # the machine's own unit tests
        for number, header in includes(path):
            if header.startswith('platform/sim/') and not header.startswith('platform/sim/control/'):
                yield f'{name(path)}:{number}: past the controls: {header}'


def module_of(relative):
    return str(Path(relative).with_suffix(''))


def include_circles(folder):
    graph = {}
    for path in sources(folder):
        module = module_of(name(path))
        edges = graph.setdefault(module, set())
        for _, header in includes(path):
            if header.startswith(folder + '/') and module_of(header) != module:
                edges.add(module_of(header))
    # Tarjan's strongly connected components: each one of more than one module is a circle.
    index, low, stack, on_stack, circles = {}, {}, [], set(), []

    def visit(module):
        index[module] = low[module] = len(index)
        stack.append(module)
        on_stack.add(module)
        for other in sorted(graph.get(module, ())):
            if other not in index:
                visit(other)
                low[module] = min(low[module], low[other])
            elif other in on_stack:
                low[module] = min(low[module], index[other])
        if low[module] == index[module]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == module:
                    break
            if len(component) > 1:
                circles.append(sorted(component))

    for module in sorted(graph):
        if module not in index:
            visit(module)
    for circle in circles:
        yield 'include circle: ' + ' <-> '.join(circle)


def main():
    offences = list(upward_arrows()) + list(include_circles('tools/lab'))
    for offence in offences:
        print(offence)
    if offences:
        print('check-layers: the includes above cross a layer or close a circle', file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
