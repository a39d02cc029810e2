"""What the module's suites share: a fresh window per test, the header's doc comments."""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

import pytest

import kritzelwerk

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


@pytest.fixture
def t():
    turtle = kritzelwerk.Turtle(300, 200, "test")
    yield turtle
    turtle.Close()


def header_comment(name, header="component/Turtle.h"):
    """The /// block right above the first declaration of name( (or of the class name)
    in the header."""
    lines = open(os.path.join(SOURCE, header), encoding="utf-8").read().splitlines()
    declaration = re.compile(r"\b" + re.escape(name) + r"\(|^class .*\b" + re.escape(name) + r"\b")
    for i, line in enumerate(lines):
        if declaration.search(line) and not line.strip().startswith("//"):
            block = []
            j = i - 1
            while j >= 0 and lines[j].strip().startswith("///"):
                block.insert(0, lines[j].strip()[3:].removeprefix(" "))
                j -= 1
            if block:
                return "\n".join(block)
    raise AssertionError(f"{name} has no doc comment in {header}")


def run_python(code, env=None, timeout=60):
    """Runs code in a fresh python3 as a pupil's script would run."""
    e = dict(os.environ)
    e.update(env or {})
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env=e, timeout=timeout)


def svg_line_mm(name):
    """The width, in millimetres on paper, of the first polyline of an SVG file."""
    root = ET.parse(name).getroot()
    per_mm = float(root.get("viewBox").split()[2]) / float(root.get("width").removesuffix("mm"))
    for group in root.iter():
        lines = [el for el in group if el.tag.endswith("polyline")]
        if group.tag.endswith("g") and lines:
            # The points are in pixels; the group's matrix scales them to the view box.
            scale = float(re.match(r"matrix\(([0-9.]+)", group.get("transform")).group(1))
            xs = [float(p.split(",")[0]) for p in lines[0].get("points").split()]
            return (max(xs) - min(xs)) * scale / per_mm
    raise AssertionError(f"no line in {name}")
