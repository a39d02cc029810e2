"""Kritzel-Werk from Python: the turtle control, in centimetres, in a window of its own.

    >>> from kritzelwerk import *
    >>> t = Turtle()
    >>> t.Forwd(3)          # draws at once; the picture stays on a resize
    >>> t.SaveToFile("bild.svg")

Every command and property of the C++ control ``TTurtle`` is there under its own name,
with the same arguments in the same units (1 LE = 1 cm). ``run()`` runs the event loop
for the handlers (``OnStartPaint``, ``OnClick``, ``OnKeyPress``). Lessons written for
Python's ``turtle`` run with ``import kritzelwerk.turtle as turtle``.
"""
import atexit as _atexit
import os as _os
import sys as _sys

from . import _core
from ._core import *  # noqa: F401,F403 (the commands, colours and enumerations)
from ._core import Error, Turtle, run, process_events  # noqa: F401

__all__ = [n for n in dir(_core) if not n.startswith("_")]


def _shutdown():
    # Keeping the drawings at exit may fail; the exit status says so, as run()'s would.
    if _core._shutdown() != 0:
        _sys.stdout.flush()
        _sys.stderr.flush()
        _os._exit(1)


_atexit.register(_shutdown)


def _ipython_hook(context):
    # prompt_toolkit's input hook: the windows stay responsive until a key is typed.
    while not context.input_is_ready():
        _core.process_events(0.02)


def _register_ipython():
    """Offers ``%gui kritzelwerk`` in IPython's terminal."""
    try:
        from IPython.terminal.pt_inputhooks import register
    except Exception:
        return
    register("kritzelwerk", _ipython_hook)


class _Prompt(str):
    """The prompt's text; before the prompt shows, what was drawn goes to the screen."""

    def __str__(self):
        try:
            _core.show_now()
        except BaseException as e:  # a handler's exception: show it, keep the prompt
            _sys.excepthook(type(e), e, e.__traceback__)
        return str.__str__(self)


if hasattr(_sys, "ps1") or _sys.flags.interactive:
    _sys.ps1 = _Prompt(getattr(_sys, "ps1", ">>> "))
    _sys.ps2 = _Prompt(getattr(_sys, "ps2", "... "))

if "IPython" in _sys.modules:
    _register_ipython()
