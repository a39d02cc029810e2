"""The module kritzelwerk: the control's commands from Python, errors, threads, lifetimes."""
import json
import os
import struct
import subprocess
import sys
import threading

import pytest

import kritzelwerk
from conftest import SOURCE, header_comment, run_python, svg_line_mm


def test_help_shows_the_headers_doc_comments():
    for name in ("Forwd", "Arc", "SaveToFile", "DrawStringPos"):
        assert header_comment(name) in getattr(kritzelwerk.Turtle, name).__doc__, name
    assert header_comment("PenColor") in kritzelwerk.Turtle.PenColor.__doc__
    assert header_comment("SetPenColor") in kritzelwerk.Turtle.PenColor.__doc__
    assert header_comment("QueryNumber", "host/Dialogs.h") in kritzelwerk.QueryNumber.__doc__
    assert "lowest byte" in kritzelwerk.Turtle.BackColor.__doc__
    assert header_comment("TTurtle") in kritzelwerk.Turtle.__doc__
    assert header_comment("EKritzelwerk", "host/Exceptions.h") in kritzelwerk.Error.__doc__


def test_constants_and_enumerations_are_module_attributes():
    k = kritzelwerk
    assert (k.clRed, k.clBlue, k.clWhite) == (0x0000FF, 0xFF0000, 0xFFFFFF)
    assert (k.East, k.North, k.West, k.South) == (0, 90, 180, 270)
    assert int(k.Up) == 0 and int(k.Down) == 1
    assert [int(d) for d in (k.tdScreen, k.tdPrinter, k.tdWMF, k.tdClipb)] == [0, 1, 2, 3]
    assert k.RGB(1, 2, 3) == 0x030201
    with pytest.raises(ValueError):
        k.RGB(256, 0, 0)


def test_a_colour_is_a_number_a_name_or_rrggbb(t):
    t.PenColor = "red"
    assert t.PenColor == kritzelwerk.clRed
    t.PenColor = "#0000ff"
    assert t.PenColor == kritzelwerk.clBlue
    t.BackColor = kritzelwerk.RGB(10, 20, 30)
    assert t.BackColor == 0x1E140A
    t.FillCircle(1, "yellow")
    with pytest.raises(ValueError, match="nocolour"):
        t.TurtleColor = "nocolour"
    with pytest.raises(TypeError):
        t.PenColor = 1.5
    assert t.TurtleColor == kritzelwerk.clRed


def test_commands_and_properties_in_the_controls_units(t):
    assert t.Heading == 90 and (t.x, t.y) == (0, 0)
    t.Forwd(2)
    assert t.x == pytest.approx(0, abs=1e-12) and t.y == pytest.approx(2)
    t.Left(90)
    t.Forwd(1)
    assert (t.x, t.y) == pytest.approx((-1, 2))
    t.GoTo(3, 4)
    assert t.Distance(0, 0) == pytest.approx(5)
    assert t.Towards(3, 0) == pytest.approx(270)
    t.PenState = kritzelwerk.Up
    assert t.PenState == kritzelwerk.Up
    t.x = 1.5
    t.Heading = kritzelwerk.East
    assert (t.x, t.Heading) == (1.5, 0)
    t.Delay = 70000
    assert t.Delay == 65535
    assert t.MinX == -t.MaxX and t.MaxX == pytest.approx(300 / t.PixelPerLE() / 2, rel=0.02)
    t.FileName = "bild"
    assert t.FileName == "bild"
    assert t.KeepPicture


def test_a_host_failure_is_kritzelwerk_error(t, tmp_path):
    with pytest.raises(kritzelwerk.Error, match=r"\.xyz") as e:
        t.SaveToFile(tmp_path / "bild.xyz")
    assert isinstance(e.value, RuntimeError)


def test_a_closed_window_says_so_and_a_new_one_opens(t):
    t.Forwd(1)
    t.Close()
    assert not t.IsOpen
    with pytest.raises(kritzelwerk.Error, match="closed"):
        t.Forwd(1)
    with pytest.raises(kritzelwerk.Error, match="closed"):
        t.PenColor = "red"
    again = kritzelwerk.Turtle()
    again.Forwd(1)
    assert again.y == pytest.approx(1)
    del again  # dropped while open: the window goes with it


def test_another_thread_is_refused_and_touches_nothing(t):
    t.Forwd(1)
    caught = []

    def worker():
        try:
            t.Forwd(5)
        except kritzelwerk.Error as e:
            caught.append(str(e))

    th = threading.Thread(target=worker)
    th.start()
    th.join()
    assert caught and "thread" in caught[0]
    assert t.y == pytest.approx(1)


def test_what_a_handler_raises_ends_the_drawing_and_reaches_the_caller(t):
    drawn = []

    def zeichne():
        drawn.append(1)
        t.Forwd(1)
        raise ZeroDivisionError("im Handler")

    t.OnStartPaint = zeichne
    with pytest.raises(ZeroDivisionError, match="im Handler") as e:
        kritzelwerk.run()
    assert any(entry.name == "zeichne" for entry in e.traceback)
    with pytest.raises(ZeroDivisionError):
        t.Repaint()
    t.OnStartPaint = None
    t.Repaint()
    t.Forwd(1)  # the turtle is still usable
    assert drawn


def test_the_shells_hook_runs_the_handlers_and_raises_what_they_raise(t):
    import time

    start = time.monotonic()
    kritzelwerk.process_events(0.1)
    assert 0.09 < time.monotonic() - start < 2
    t.OnStartPaint = lambda: 1 / 0
    with pytest.raises(ZeroDivisionError):
        kritzelwerk.process_events(1)
    t.OnStartPaint = None


def test_a_picture_drawn_command_by_command_saves_at_true_size(t, tmp_path):
    t.Heading = kritzelwerk.East
    t.Forwd(3)
    t.Repaint()  # a repaint draws the kept commands again
    name = tmp_path / "bild.svg"
    t.SaveToFile(str(name))
    assert svg_line_mm(name) == pytest.approx(30, abs=0.5)


def test_the_interpreter_ends_cleanly_with_windows_open_or_closed():
    code = """
import kritzelwerk
a = kritzelwerk.Turtle(); a.Forwd(1)
b = kritzelwerk.Turtle(); b.OnStartPaint = lambda: b.Forwd(1); b.Close()
c = kritzelwerk.Turtle(); del c
d = kritzelwerk.Turtle(); d.OnClick = lambda x, y: d.GoTo(x, y)
print("ok")
"""
    r = run_python(code)
    assert (r.returncode, r.stdout.strip()) == (0, "ok"), r.stderr


def test_run_without_a_display_saves_each_window(tmp_path):
    code = """
import kritzelwerk
t = kritzelwerk.Turtle(120, 100, "Bild")
t.OnStartPaint = lambda: t.FillCircle(1, "blue")
raise SystemExit(kritzelwerk.run())
"""
    r = run_python(code, {"QT_QPA_PLATFORM": "offscreen", "KRITZEL_OUTPUT_DIR": str(tmp_path)})
    assert r.returncode == 0, r.stderr
    assert (tmp_path / "Bild.png").stat().st_size > 0


def emf_record_types(path):
    """The record types of an enhanced metafile, in order."""
    data, at, types = path.read_bytes(), 0, []
    while at + 8 <= len(data):
        kind, size = struct.unpack_from("<II", data, at)
        types.append(kind)
        at += max(size, 8)
    return types


LESSON = """
import kritzelwerk.turtle as turtle
turtle.forward(100)
turtle.left(90)
turtle.forward(50)
"""


def test_a_lesson_that_ends_without_done_keeps_its_drawing_at_exit(tmp_path):
    kept = tmp_path / "zeichnungen"
    r = run_python(LESSON, {"QT_QPA_PLATFORM": "offscreen", "KRITZEL_OUTPUT_DIR": str(tmp_path),
                            "KRITZEL_DRAWINGS": str(kept)})
    assert r.returncode == 0, r.stderr
    (drawing,) = json.loads((kept / "drawings.json").read_text())["drawings"]
    assert (drawing["file"], drawing["control"]) == ("01", 0)
    assert emf_record_types(kept / "01.emf").count(54) == 2  # EMR_LINETO: the two lines
    assert (kept / "01.png").stat().st_size > 0
    # Without the variable nothing is kept at exit.
    r = run_python(LESSON, {"QT_QPA_PLATFORM": "offscreen", "KRITZEL_OUTPUT_DIR": str(kept)})
    assert r.returncode == 0, r.stderr
    assert sorted(os.listdir(kept)) == ["01.emf", "01.png", "drawings.json"]


def test_a_drawing_that_cannot_be_kept_at_exit_is_named_and_the_status_is_one(tmp_path):
    (tmp_path / "01.emf").mkdir()
    r = run_python(LESSON, {"QT_QPA_PLATFORM": "offscreen", "KRITZEL_OUTPUT_DIR": str(tmp_path),
                            "KRITZEL_DRAWINGS": str(tmp_path)})
    assert r.returncode == 1
    assert str(tmp_path / "01.emf") in r.stderr
    assert (tmp_path / "01.png").stat().st_size > 0


@pytest.mark.parametrize("example,picture", [("spirale", "Spirale"), ("blume", "Blume"),
                                             ("stern", "Kritzel-Werk_Turtle")])
def test_the_examples_run_and_draw_without_a_display(example, picture, tmp_path):
    source = os.path.join(SOURCE, "examples", "python", example + ".py")
    r = subprocess.run([sys.executable, source], cwd=tmp_path, capture_output=True, text=True,
                       env=dict(os.environ, QT_QPA_PLATFORM="offscreen",
                                KRITZEL_OUTPUT_DIR=str(tmp_path)), timeout=60)
    assert r.returncode == 0, r.stderr
    assert (tmp_path / (picture + ".png")).stat().st_size > 1000
