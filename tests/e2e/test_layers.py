"""The Python side's layers as the README lists them: every module of scripts/plugin is listed,
and each imports only modules listed before it, so that the map a newcomer reads is the one
the code keeps."""
import ast
import os
import re
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
PLUGIN = os.path.join(ROOT, 'scripts', 'plugin')


def listed_order():
    """The module names in the README's map, in the order it lists them."""
    with open(os.path.join(ROOT, 'README.md'), encoding='utf-8') as f:
        text = f.read()
    section = text.split('### The Python side (`scripts/plugin/`)', 1)[1].split('\n#', 1)[0]
    items = re.findall(r'^\d+\. .*?(?=^\d+\. |\Z)', section, flags=re.S | re.M)
    names = []
    for item in items:
        names += [n for n in re.findall(r'`([a-z_]+)`', item) if n not in names]
    return names


def own_imports(path):
    """The modules of the package that the module at path imports."""
    tree = ast.parse(open(path, encoding='utf-8').read())
    found = set()
    for node in ast.walk(tree):
        if isinstance(node, ast.ImportFrom) and node.level == 1:
            found.update([node.module.split('.')[0]] if node.module else [a.name for a in node.names])
    return found


class PythonLayers(unittest.TestCase):
    def test_every_module_is_on_the_map_and_imports_only_what_comes_before_it(self):
        order = listed_order()
        modules = sorted(name[:-3] for name in os.listdir(PLUGIN)
                         if name.endswith('.py') and not name.startswith('__'))
        self.assertEqual(sorted(set(modules) - set(order)), [], 'modules the README does not list')
        place = {name: number for number, name in enumerate(order)}
        upward = ['%s imports %s' % (module, used) for module in modules
                  for used in sorted(own_imports(os.path.join(PLUGIN, module + '.py')))
                  if used in place and place[used] >= place[module]]
        self.assertEqual(upward, [])


if __name__ == '__main__':
    unittest.main()
