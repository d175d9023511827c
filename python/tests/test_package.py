# SPDX-License-Identifier: GPL-3.0-or-later
# What help(orvane) and a type checker see: every public name has its stub and its docstring.
import ast
import inspect
import pathlib

import orvane


def test_stubs_and_docstrings_cover_the_public_names():
    stub = ast.parse((pathlib.Path(orvane.__file__).parent / "__init__.pyi").read_text())
    stubbed = {node.name for node in stub.body
               if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    assert set(orvane.__all__) == stubbed
    assert (pathlib.Path(orvane.__file__).parent / "py.typed").is_file()
    missing = []
    for name in orvane.__all__:
        item = getattr(orvane, name)
        if not inspect.getdoc(item):
            missing.append(name)
        if inspect.isclass(item) and not issubclass(item, tuple):
            for member, value in vars(item).items():
                documented = inspect.isroutine(value) or isinstance(
                    value, (property, classmethod, staticmethod))
                if documented and not member.startswith("_") and not inspect.getdoc(value):
                    missing.append(f"{name}.{member}")
    assert missing == []
