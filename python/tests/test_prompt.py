"""The module at python3's prompt, driven through a pseudo-terminal on the private X
server: each command is on the screen before the next prompt, a resize keeps the
picture, a closed window says so, Ctrl+C breaks a long drawing off; IPython's terminal
with %gui kritzelwerk does the same."""
import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import time

import ctypes
import ctypes.util

import pytest

pytestmark = pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs the private X server")

TITLE = "Prompt"


class Prompt:
    """python3 (or another shell) at its prompt in a pseudo-terminal, with a home of its
    own in cwd, so that its history and settings stay out of the user's."""

    def __init__(self, cwd, argv=(sys.executable, "-q", "-i"), ready=">>> ", env=None):
        self.ready = ready
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(cwd)
            os.environ.update(HOME=str(cwd), XDG_CONFIG_HOME=str(cwd / ".config"),
                              XDG_CACHE_HOME=str(cwd / ".cache"), **(env or {}))
            os.execvp(argv[0], list(argv))
        self.out = ""
        self.expect(ready)

    def read(self, timeout):
        r, _, _ = select.select([self.fd], [], [], timeout)
        if not r:
            return False
        try:
            text = os.read(self.fd, 65536).decode(errors="replace")
        except OSError:
            return False
        # A full-screen prompt's colours and cursor moves are not what it printed.
        self.out += re.sub(r"\x1b(\[[0-?]*[ -/]*[@-~]|\][^\x07]*\x07|[()][0-9A-B]|[=>])", "", text)
        return True

    def expect(self, text, timeout=20):
        """Waits for text after what was seen so far; returns what came before it."""
        end = time.monotonic() + timeout
        while text not in self.out:
            if time.monotonic() > end:
                raise AssertionError(f"no {text!r} in {self.out!r}")
            self.read(0.05)
        before, _, self.out = self.out.partition(text)
        return before

    def type(self, line, timeout=20):
        """Types a line and waits for the next prompt; returns what it printed."""
        os.write(self.fd, (line + "\n").encode())
        return self.expect(self.ready, timeout)

    def close(self):
        os.write(self.fd, b"exit()\n")
        _, status = os.waitpid(self.pid, 0)
        os.close(self.fd)
        return status


def window_id():
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                         capture_output=True, text=True).stdout.split()
    assert ids, "the window is on the screen"
    return ids[-1]


def close_window(wid):
    """Sends what a window manager sends for the close button: WM_DELETE_WINDOW."""

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]

    x = ctypes.CDLL(ctypes.util.find_library("X11"))
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    d = x.XOpenDisplay(None)
    ev = ClientMessage(type=33, window=int(wid), format=32, display=d,
                       message_type=x.XInternAtom(d, b"WM_PROTOCOLS", 0))
    ev.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(d, int(wid), 0, 0, ctypes.byref(ev))
    x.XCloseDisplay(d)


def dark_pixels(tmp_path):
    """How many pixels of the window on the screen are nearly black (the lines)."""
    f = tmp_path / "grab.xwd"
    subprocess.run(["xwd", "-silent", "-id", window_id(), "-out", str(f)], check=True)
    data = f.read_bytes()
    h = struct.unpack(">25I", data[:100])
    header, width, height, order, bpp, per_line, ncolors = h[0], h[4], h[5], h[7], h[11], h[12], h[19]
    assert bpp == 32, "a 24-bit visual"
    pixels = data[header + 12 * ncolors:]
    fmt = "<" if order == 0 else ">"
    count = 0
    for row in range(height):
        line = pixels[row * per_line: row * per_line + 4 * width]
        for (v,) in struct.iter_unpack(fmt + "I", line):
            if (v >> 16 & 255) < 80 and (v >> 8 & 255) < 80 and (v & 255) < 80:
                count += 1
    return count


class IPythonPrompt(Prompt):
    """IPython's terminal, its settings and history in a folder of the test's own."""

    def __init__(self, cwd):
        self.count = 1
        super().__init__(cwd, ("ipython3", "--no-banner", "--colors=NoColor"), "In [1]:",
                         {"IPYTHONDIR": str(cwd / "ipython"), "PROMPT_TOOLKIT_NO_CPR": "1",
                          "TERM": "xterm"})

    def type(self, line, timeout=20):
        """Types a line (the terminal's Enter) and waits for the next numbered prompt."""
        os.write(self.fd, (line + "\r").encode())
        self.count += 1
        return self.expect(f"In [{self.count}]:", timeout)


@pytest.fixture
def prompt(tmp_path):
    if not (shutil.which("xwd") and shutil.which("xdotool")):
        pytest.fail("xwd (x11-apps) and xdotool are needed")
    p = Prompt(tmp_path)
    yield p
    assert p.close() == 0
    assert (tmp_path / ".python_history").exists(), "the history stayed in the test's home"


def test_each_command_shows_before_the_next_prompt_and_stays(prompt, tmp_path):
    prompt.type("from kritzelwerk import *")
    prompt.type(f"t = Turtle(300, 300, {TITLE!r})")
    time.sleep(0.3)  # the window system maps it
    start = dark_pixels(tmp_path)
    prompt.type("t.Heading = East; t.Forwd(3)")
    first = dark_pixels(tmp_path)
    assert first >= start + 100, "3 cm of line right after the command"
    prompt.type("t.Left(90); t.Forwd(2)")
    second = dark_pixels(tmp_path)
    assert second >= first + 60
    subprocess.run(["xdotool", "windowsize", window_id(), "420", "360"], check=True)
    time.sleep(0.5)
    prompt.type("t.MaxX")
    assert dark_pixels(tmp_path) >= second - 5, "the resize kept the drawing"
    assert "t.Forwd" not in prompt.type("t.SaveToFile('bild.svg')")
    assert (tmp_path / "bild.svg").stat().st_size > 0


def test_a_closed_window_says_so_and_the_program_runs_again(prompt, tmp_path):
    (tmp_path / "prog.py").write_text(
        f"from kritzelwerk import *\nt = Turtle(300, 300, {TITLE!r})\n"
        "t.Heading = East\nt.Forwd(3)\n")
    prompt.type("exec(open('prog.py').read())")
    time.sleep(0.3)
    assert dark_pixels(tmp_path) > 100
    # What the user's close button sends: the window manager's delete request.
    close_window(window_id())
    time.sleep(0.3)
    assert "False" in prompt.type("t.IsOpen")
    out = prompt.type("t.Forwd(1)")
    assert "kritzelwerk._core.Error" in out and "closed" in out
    prompt.type("exec(open('prog.py').read())")
    time.sleep(0.3)
    assert dark_pixels(tmp_path) > 100


def test_ctrl_c_breaks_a_long_drawing_off_and_the_turtle_stays_usable(prompt):
    prompt.type("from kritzelwerk import *")
    prompt.type(f"t = Turtle(300, 300, {TITLE!r}); t.Delay = 5")
    os.write(prompt.fd, b"for i in range(100000): t.Forwd(0.05); t.Left(7)\n\n")
    time.sleep(1.0)
    os.write(prompt.fd, b"\x03")
    sent = time.monotonic()
    prompt.expect("KeyboardInterrupt", timeout=5)
    took = time.monotonic() - sent
    prompt.expect(">>> ")
    assert took < 0.1, f"KeyboardInterrupt after {took:.3f} s"
    out = prompt.type("t.Forwd(1); print('weiter', t.Delay)")
    assert "weiter 5" in out


def test_ipython_with_its_gui_hook_shows_the_drawing_while_it_waits(tmp_path):
    if not shutil.which("ipython3"):
        pytest.fail("ipython3 is needed")
    ipython = IPythonPrompt(tmp_path)
    try:
        ipython.type("from kritzelwerk import *")
        ipython.type("%gui kritzelwerk")
        ipython.type(f"t = Turtle(300, 300, {TITLE!r})")
        time.sleep(0.3)
        start = dark_pixels(tmp_path)
        assert "Error" not in ipython.type("t.Heading = East; t.Forwd(3)")
        time.sleep(0.3)  # only the hook puts it on the screen while IPython waits
        assert dark_pixels(tmp_path) >= start + 100, "the line is on the screen at the prompt"
        subprocess.run(["xdotool", "windowsize", window_id(), "420", "360"], check=True)
        time.sleep(0.5)
        assert dark_pixels(tmp_path) >= start + 100, "the resize kept the drawing"
    finally:
        os.write(ipython.fd, b"exit\r")
        _, status = os.waitpid(ipython.pid, 0)
        os.close(ipython.fd)
    assert status == 0
    assert (tmp_path / "ipython").is_dir(), "IPython kept its settings in the test's folder"
