"""Lessons written for Python's ``turtle``, on Kritzel-Werk: change only the import.

    import kritzelwerk.turtle as turtle      # or: from kritzelwerk.turtle import *

The names, units and conventions are those of the standard mode of Python's turtle: one
unit is one screen pixel at 96 pixels per inch (1/96 inch, so a drawing keeps its size
when saved or printed), the heading starts east and turns counter-clockwise, angles are
degrees (``radians()`` switches). Positions come back as ``Vec2D``; a point is taken as
two numbers, a pair, a ``Vec2D`` or another turtle.

Several ``Turtle()`` share one ``Screen()``, each with its own pose, pen and colours. The
window holds one Kritzel-Werk turtle: the one that drew last shows its sprite, the others
show none until they draw again. ``clear()`` wipes the whole screen's drawing, not only
the turtle's own (the turtle stays where it is); a fill belongs to the turtle that began
it as long as no other turtle draws in between.

Beyond Python's turtle: ``save(name)`` (.png, .svg, .pdf, .emf, .wmf, as
``Turtle.SaveToFile``, at true size), ``print_page()`` and ``copy()`` (the clipboard).
A name of Python's turtle that is not offered raises ``AttributeError`` naming it.
After the window was closed, an existing turtle raises ``kritzelwerk.Error``; a new
``Turtle()``, ``Screen()`` or a module function opens a fresh window.
"""
import math

import kritzelwerk as _kw

# Centimetres (the control's unit) per unit here: one pixel at 96 pixels per inch.
_CM = 2.54 / 96

# Python's turtle's public names that this module does not offer.
_NOT_OFFERED = {
    "ScrolledCanvas", "TurtleScreen", "RawPen", "Pen", "Shape", "addshape", "bgpic",
    "clearscreen", "getcanvas", "getshapes", "mode", "onkeyrelease", "ontimer",
    "register_shape", "resetscreen", "screensize", "setup", "setworldcoordinates",
    "title", "turtles", "window_height", "window_width", "begin_poly", "clearstamp",
    "clearstamps", "clone", "end_poly", "get_poly", "getpen", "get_shapepoly",
    "getturtle", "ondrag", "onrelease", "pen", "resizemode", "settiltangle",
    "setundobuffer", "shape", "shapesize", "shapetransform", "shearfactor", "tilt",
    "tiltangle", "turtlesize", "undo", "undobufferentries", "write_docstringdict",
    "Terminator",
}


def _not_offered(owner, name):
    return AttributeError(
        f"{owner} has no attribute {name!r}: kritzelwerk.turtle does not offer Python "
        f"turtle's {name}" if name in _NOT_OFFERED else f"{owner} has no attribute {name!r}")


class Vec2D(tuple):
    """A two-dimensional vector, as Python's turtle returns positions: a pair with
    ``+``, ``-``, ``*`` (a number, or another vector for the dot product), ``abs`` and
    ``rotate(angle)`` in degrees."""

    def __new__(cls, x, y):
        return tuple.__new__(cls, (x, y))

    def __add__(self, other):
        return Vec2D(self[0] + other[0], self[1] + other[1])

    def __mul__(self, other):
        if isinstance(other, Vec2D):
            return self[0] * other[0] + self[1] * other[1]
        return Vec2D(self[0] * other, self[1] * other)

    def __rmul__(self, other):
        if isinstance(other, (int, float)):
            return Vec2D(self[0] * other, self[1] * other)
        return NotImplemented

    def __sub__(self, other):
        return Vec2D(self[0] - other[0], self[1] - other[1])

    def __neg__(self):
        return Vec2D(-self[0], -self[1])

    def __abs__(self):
        return math.hypot(*self)

    def rotate(self, angle):
        """The vector turned angle degrees counter-clockwise."""
        perp = Vec2D(-self[1], self[0])
        angle = math.radians(angle)
        c, s = math.cos(angle), math.sin(angle)
        return Vec2D(self[0] * c + perp[0] * s, self[1] * c + perp[1] * s)

    def __getnewargs__(self):
        return (self[0], self[1])

    def __repr__(self):
        return "(%.2f,%.2f)" % self


def _handlers(current, fun, add):
    """The click handlers after onclick(fun, add=add): None removes them all, add keeps
    the others, as in Python's turtle."""
    if fun is None:
        return []
    return current + [fun] if add else [fun]


def _point(x, y=None):
    """A point given as two numbers, a pair, a Vec2D or a turtle."""
    if y is not None:
        return Vec2D(float(x), float(y))
    if isinstance(x, Turtle):
        return x.position()
    if isinstance(x, (tuple, list)) and len(x) == 2:
        return Vec2D(float(x[0]), float(x[1]))
    raise TypeError(f"a point is two numbers, a pair, a Vec2D or a turtle, not {x!r}")


_SPEEDS = {"fastest": 0, "fast": 10, "normal": 6, "slow": 3, "slowest": 1}
# Tk's key names, as onkey takes them, and Qt's key codes.
_KEYS = {"Up": 0x01000013, "Down": 0x01000015, "Left": 0x01000012, "Right": 0x01000014,
         "Return": 0x01000004, "Escape": 0x01000000, "BackSpace": 0x01000003,
         "Tab": 0x01000001, "space": 0x20, "Delete": 0x01000007, "Home": 0x01000010,
         "End": 0x01000011}


class _Screen:
    """The window and its turtles (what ``Screen()`` returns)."""

    _current = None

    def __init__(self):
        self._core = _kw.Turtle(640, 480, "Kritzel-Werk Turtle")
        self._core.Heading = _kw.East
        self._active = None
        self._tracing = 1
        self._delay = 10
        self._colormode = 1.0
        self._bg = "white"
        self._clicks = []
        self._keys = {}
        self._turtles = []
        self._core.OnClick = self._click
        self._core.OnKeyPress = self._key

    @classmethod
    def get(cls):
        if cls._current is None or not cls._current._core.IsOpen:
            cls._current = _Screen()
        return cls._current

    def __getattr__(self, name):
        raise _not_offered("Screen", name)

    # The turtles take turns on the one control.
    def _use(self, turtle):
        c = self._core
        if self._active is not turtle:
            if self._active is not None:
                self._active._save(c)
            self._active = turtle
            turtle._load(c)
        return c

    def _pacing(self, turtle):
        """The control's pause per step for the turtle's speed and the tracer."""
        if self._tracing == 0 or turtle._speed == 0:
            return 0
        return round(self._delay * (11 - turtle._speed) / 5)

    def _colour(self, spec):
        if isinstance(spec, str):
            return _kw.Color(spec)
        if isinstance(spec, (tuple, list)) and len(spec) == 3:
            parts = [round(v * 255 / self._colormode) for v in spec]
            if any(p < 0 or p > 255 for p in parts):
                raise ValueError(f"bad colour {spec!r} in colormode {self._colormode}")
            return _kw.RGB(*parts)
        raise TypeError(f"a colour is a name, '#rrggbb' or (r, g, b), not {spec!r}")

    def _click(self, x, y):
        x, y = x / _CM, y / _CM
        for fun in list(self._clicks):
            fun(x, y)
        for t in list(self._turtles):
            if t._clicks and abs(t.position() - (x, y)) <= 12:
                for fun in list(t._clicks):
                    fun(x, y)

    def _key(self, code):
        for key in (code, None):
            fun = self._keys.get(key)
            if fun:
                fun()

    # Python's screen methods.
    def bgcolor(self, *color):
        """The background colour; with an argument, sets it (the drawing stays)."""
        if not color:
            return self._bg
        spec = color[0] if len(color) == 1 else tuple(color)
        self._core.BackColor = self._colour(spec)
        self._bg = spec

    def colormode(self, cmode=None):
        """1.0 or 255: the largest part of an (r, g, b) colour."""
        if cmode is None:
            return self._colormode
        if cmode not in (1.0, 255):
            raise ValueError("colormode is 1.0 or 255")
        self._colormode = cmode

    def tracer(self, n=None, delay=None):
        """0 draws without animation until update(); 1 animates again."""
        if n is None:
            return self._tracing
        self._tracing = n
        if delay is not None:
            self._delay = delay
        if self._active is not None:
            self._core.Delay = self._pacing(self._active)
            self._core.Showing = bool(n) and self._active._visible
        if n:
            self.update()

    def update(self):
        """Puts what was drawn on the screen now."""
        if self._active is not None:
            self._core.Showing = self._active._visible
        _kw.show_now()

    def delay(self, delay=None):
        """The pause, in milliseconds, from which the turtles' speeds are paced."""
        if delay is None:
            return self._delay
        self._delay = delay
        if self._active is not None:
            self._core.Delay = self._pacing(self._active)

    def onclick(self, fun, btn=1, add=None):
        """Calls fun(x, y) for a click anywhere in the window; None removes the handlers."""
        self._clicks = _handlers(self._clicks, fun, add)

    onscreenclick = onclick

    def onkey(self, fun, key=None):
        """Calls fun() when key (Tk's name: "a", "space", "Up" …) is pressed; None: any key."""
        code = None
        if key is not None:
            code = _KEYS.get(key, ord(key.upper()) if len(key) == 1 else None)
            if code is None:
                raise ValueError(f"unknown key {key!r}")
        if fun is None:
            self._keys.pop(code, None)
        else:
            self._keys[code] = fun

    onkeypress = onkey

    def listen(self, xdummy=None, ydummy=None):
        """Gives the window the keyboard's focus."""
        self._core._focus()

    def numinput(self, title, prompt, default=None, minval=None, maxval=None):
        """Asks for a number (the dialog is titled after the window): the answer, or None."""
        return _kw.QueryNumber(prompt, 0.0 if default is None else float(default),
                               -math.inf if minval is None else float(minval),
                               math.inf if maxval is None else float(maxval))

    def textinput(self, title, prompt):
        """Asks for a text: the answer, or None on Cancel."""
        return _kw.QueryText(prompt, "")

    def mainloop(self):
        """Runs until the window is closed (without a display: saves it as a PNG)."""
        _kw.run()

    done = mainloop

    def exitonclick(self):
        """Closes the window at the next click, running until then."""
        self.onclick(lambda x, y: self.bye())
        self.mainloop()

    def bye(self):
        """Closes the window; the next Turtle() opens a new one."""
        self._core.Close()

    def clear(self):
        """Wipes the drawing; the turtles stay where they are."""
        c, a = self._core, self._active
        if a is not None:
            a._save(c)
        c.Clear()
        if a is not None:
            a._load(c)

    def reset(self):
        """Every turtle back to the middle, facing east, with the pen as at first."""
        self.clear()
        for t in self._turtles:
            t._defaults()
            t._fast()

    def save(self, name):
        """Saves the drawing in the format the name's ending chooses (.png, .svg, .pdf,
        .emf, .wmf), vectors at true size."""
        self._core.SaveToFile(str(name))

    def print_page(self):
        """Prints the drawing on one page, at true size."""
        self._core.Device = _kw.tdPrinter
        self._core.Device = _kw.tdScreen

    def copy(self):
        """Puts the drawing on the clipboard, as a metafile and a picture."""
        self._core.CopyToClipboard()


def Screen():
    """The window the turtles draw in (a fresh one if it was closed)."""
    return _Screen.get()


class Turtle:
    """A turtle of Python's turtle module, drawing on the Screen()."""

    def __init__(self):
        self._screen = Screen()
        self._clicks = []
        self._defaults()
        self._screen._turtles.append(self)
        self._screen._use(self)
        for t in self._screen._turtles:
            t._fast()

    # The moves that a lesson gives most go straight to the control while this is the
    # screen's only turtle and angles are degrees: nothing to switch, nothing to convert.
    _FAST = {"forward": "_fd_px", "fd": "_fd_px", "back": "_bk_px", "bk": "_bk_px",
             "backward": "_bk_px", "left": "_lt", "lt": "_lt", "right": "_rt", "rt": "_rt"}

    def _fast(self):
        on = self._screen._turtles == [self] and self._full == 360.0
        moves = self._screen._core._bound_moves() if on else None
        for name, method in self._FAST.items():
            if on:
                self.__dict__[name] = moves[method]
            else:
                self.__dict__.pop(name, None)

    def __getattr__(self, name):
        raise _not_offered("Turtle", name)

    def _defaults(self):
        self._x = self._y = 0.0
        self._heading = 0.0
        self._down = True
        self._pencolor = self._fillcolor = "black"
        self._pensize = 1
        self._visible = True
        self._speed = 3
        self._full = 360.0
        self._filling = False
        if self._screen._active is self:
            self._load(self._screen._core)

    def _save(self, c):
        self._x, self._y, self._heading = c.x, c.y, c.Heading

    def _load(self, c):
        s = self._screen
        c.SetPosition(self._x, self._y)
        c.Heading = self._heading
        c.PenColor = s._colour(self._pencolor)
        c.PenWidth = round(self._pensize)
        c.PenState = _kw.Down if self._down else _kw.Up
        c.Delay = s._pacing(self)
        c.Showing = self._visible and s._tracing != 0

    def _c(self):
        s = self._screen
        # The turtle that drew last is still on the control: nothing to switch.
        return s._core if s._active is self else s._use(self)

    def _deg(self, angle):
        return angle * 360.0 / self._full

    # Moving and turning.
    def forward(self, distance):
        """Moves distance units along the heading, drawing when the pen is down."""
        s = self._screen
        (s._core if s._active is self else s._use(self)).Forwd(distance * _CM)

    fd = forward

    def back(self, distance):
        """Moves distance units backwards; the heading stays."""
        s = self._screen
        (s._core if s._active is self else s._use(self)).Back(distance * _CM)

    bk = backward = back

    def left(self, angle):
        """Turns angle degrees (or radians after radians()) counter-clockwise."""
        s = self._screen
        c = s._core if s._active is self else s._use(self)
        c.Left(angle if self._full == 360.0 else self._deg(angle))

    lt = left

    def right(self, angle):
        """Turns angle degrees clockwise."""
        s = self._screen
        c = s._core if s._active is self else s._use(self)
        c.Right(angle if self._full == 360.0 else self._deg(angle))

    rt = right

    def goto(self, x, y=None):
        """Walks straight to the point, drawing when the pen is down."""
        p = _point(x, y)
        self._c().GoTo(p[0] * _CM, p[1] * _CM)

    setpos = setposition = goto

    def setx(self, x):
        """Walks to x, y staying."""
        c = self._c()
        c.GoTo(x * _CM, c.y)

    def sety(self, y):
        """Walks to y, x staying."""
        c = self._c()
        c.GoTo(c.x, y * _CM)

    def setheading(self, to_angle):
        """Turns to the heading: 0 east, 90 north (counter-clockwise)."""
        self._c().Heading = self._deg(to_angle)

    seth = setheading

    def home(self):
        """Walks back to (0, 0) and faces east."""
        c = self._c()
        c.GoTo(0, 0)
        c.Heading = _kw.East

    def circle(self, radius, extent=None, steps=None):
        """An arc of the radius (centre on the left for a positive one) over extent
        degrees (a whole circle without); with steps, a polygon of that many sides as
        Python's turtle draws it."""
        c = self._c()
        extent = 360.0 if extent is None else self._deg(extent)
        if steps is None:
            c.Arc(radius * _CM, extent)
            return
        w = extent / steps
        w2 = 0.5 * w
        length = 2.0 * radius * math.sin(math.radians(w2))
        if radius < 0:
            length, w, w2 = -length, -w, -w2
        c.Left(w2)
        for _ in range(steps):
            c.Forwd(length * _CM)
            c.Left(w)
        c.Left(-w2)

    def dot(self, size=None, *color):
        """A round dot of diameter size (pensize + 4 or twice the pensize at least)."""
        c = self._c()
        if size is None:
            size = max(self._pensize + 4, 2 * self._pensize)
        if color:
            spec = color[0] if len(color) == 1 else tuple(color)
            c.Dot(size * _CM, self._screen._colour(spec))
        else:
            c.Dot(size * _CM)

    def stamp(self):
        """Leaves the turtle's shape in the drawing."""
        self._c().Stamp()

    def write(self, arg, move=False, align="left", font=("Arial", 8, "normal")):
        """Writes str(arg) at the turtle, its baseline there, in the pen's colour."""
        c = self._c()
        text = str(arg)
        name, size = font[0], int(font[1])
        width = len(text) * size * 0.6 * 96 / 72  # about the text's width in units
        x = c.x / _CM - {"left": 0, "center": width / 2, "right": width}[align]
        top = c.y / _CM + size * 96 / 72
        c.DrawStringPos(x * _CM, top * _CM, text, name, size, c.PenColor)
        if move:
            c.SetPosition(c.x + width * _CM, c.y)

    # The pen.
    def penup(self):
        """Moves without drawing from now on."""
        self._down = False
        self._c().PenState = _kw.Up

    pu = up = penup

    def pendown(self):
        """Draws as it moves from now on."""
        self._down = True
        self._c().PenState = _kw.Down

    pd = down = pendown

    def isdown(self):
        """Whether the pen is down."""
        return self._down

    def pensize(self, width=None):
        """The width of the lines in pixels; with an argument, sets it."""
        if width is None:
            return self._pensize
        self._pensize = width
        self._c().PenWidth = round(width)

    width = pensize

    def pencolor(self, *color):
        """The colour of the lines: a name, '#rrggbb' or (r, g, b)."""
        if not color:
            return self._pencolor
        spec = color[0] if len(color) == 1 else tuple(color)
        self._c().PenColor = self._screen._colour(spec)
        self._pencolor = spec

    def fillcolor(self, *color):
        """The colour end_fill fills with."""
        if not color:
            return self._fillcolor
        spec = color[0] if len(color) == 1 else tuple(color)
        self._screen._colour(spec)
        self._fillcolor = spec

    def color(self, *args):
        """color(): (pencolor, fillcolor); color(c) sets both; color(pen, fill) each."""
        if not args:
            return self._pencolor, self._fillcolor
        if len(args) == 1 or len(args) == 3:
            spec = args[0] if len(args) == 1 else tuple(args)
            self.pencolor(spec)
            self.fillcolor(spec)
        else:
            self.pencolor(args[0])
            self.fillcolor(args[1])

    def begin_fill(self):
        """Starts a shape that end_fill fills."""
        self._c().BeginFill()
        self._filling = True

    def end_fill(self):
        """Fills the shape walked since begin_fill in the fill colour."""
        self._c().EndFill(self._screen._colour(self._fillcolor))
        self._filling = False

    def filling(self):
        """Whether a fill has begun."""
        return self._filling

    # Where it is.
    def position(self):
        """Where the turtle is, as a Vec2D."""
        if self._screen._active is self:
            c = self._screen._core
            return Vec2D(c.x / _CM, c.y / _CM)
        return Vec2D(self._x / _CM, self._y / _CM)

    pos = position

    def xcor(self):
        """The turtle's x."""
        return self.position()[0]

    def ycor(self):
        """The turtle's y."""
        return self.position()[1]

    def heading(self):
        """The heading, 0 east, counter-clockwise, from 0 up to 360 (or 2π)."""
        h = self._screen._core.Heading if self._screen._active is self else self._heading
        h = round((h + 180.0) % 360.0 - 180.0, 10) % 360.0
        return h * self._full / 360.0 % self._full

    def towards(self, x, y=None):
        """The heading from the turtle to the point."""
        dx, dy = _point(x, y) - self.position()
        result = round(math.degrees(math.atan2(dy, dx)), 10) % 360.0
        return result * self._full / 360.0 % self._full

    def distance(self, x, y=None):
        """The distance from the turtle to the point."""
        return abs(_point(x, y) - self.position())

    def degrees(self, fullcircle=360.0):
        """Angles in degrees (or in 1/fullcircle of a turn)."""
        self._full = float(fullcircle)
        self._fast()

    def radians(self):
        """Angles in radians."""
        self._full = 2 * math.pi
        self._fast()

    # Shown or hidden, speed.
    def hideturtle(self):
        """Hides the turtle; it draws faster."""
        self._visible = False
        self._c().Showing = False

    ht = hideturtle

    def showturtle(self):
        """Shows the turtle."""
        self._visible = True
        self._c().Showing = self._screen._tracing != 0

    st = showturtle

    def isvisible(self):
        """Whether the turtle is shown."""
        return self._visible

    def speed(self, speed=None):
        """0 (fastest, no pause) or 1 (slowest) to 10; names as Python's turtle has them."""
        if speed is None:
            return self._speed
        speed = _SPEEDS.get(speed, speed)
        speed = int(round(speed)) if 0.5 < speed < 10.5 else 0
        self._speed = speed
        self._c().Delay = self._screen._pacing(self)

    def clear(self):
        """Wipes the drawing (of every turtle on the screen); the turtle stays."""
        self._screen.clear()

    def reset(self):
        """Wipes the drawing; the turtle back in the middle, facing east, pen as at first."""
        self._screen.clear()
        self._defaults()
        self._screen._use(self)
        self._fast()

    def onclick(self, fun, btn=1, add=None):
        """Calls fun(x, y) for a click on the turtle (within 12 units of it)."""
        self._clicks = _handlers(self._clicks, fun, add)

    def getscreen(self):
        """The screen this turtle draws on."""
        return self._screen

    def save(self, name):
        """Saves the screen's drawing (see Screen().save)."""
        self._screen.save(name)

    def print_page(self):
        """Prints the screen's drawing."""
        self._screen.print_page()

    def copy(self):
        """Puts the screen's drawing on the clipboard."""
        self._screen.copy()


RawTurtle = Turtle

_pen = None


def _getpen():
    """The turtle the module's functions move: a fresh one when its window was closed."""
    global _pen
    if _pen is None or not _pen._screen._core.IsOpen or _pen._screen is not Screen():
        _pen = Turtle()
    return _pen


_TURTLE_FUNCTIONS = [
    "forward", "fd", "back", "bk", "backward", "left", "lt", "right", "rt", "goto", "setpos",
    "setposition", "setx", "sety", "setheading", "seth", "home", "circle", "dot", "stamp",
    "write", "penup", "pu", "up", "pendown", "pd", "down", "isdown", "pensize", "width",
    "pencolor", "fillcolor", "color", "begin_fill", "end_fill", "filling", "position", "pos",
    "xcor", "ycor", "heading", "towards", "distance", "hideturtle", "ht", "showturtle", "st",
    "isvisible", "speed", "clear", "reset", "onclick", "degrees", "radians", "save",
    "print_page", "copy", "getscreen",
]
_SCREEN_FUNCTIONS = [
    "bgcolor", "colormode", "tracer", "update", "delay", "onscreenclick", "onkey",
    "onkeypress", "listen", "numinput", "textinput", "mainloop", "done", "exitonclick", "bye",
]


def _turtle_function(name):
    def f(*args, **kwargs):
        return getattr(_getpen(), name)(*args, **kwargs)

    f.__name__ = name
    f.__doc__ = getattr(Turtle, name).__doc__
    return f


def _screen_function(name):
    def f(*args, **kwargs):
        if name == "bye" and (_Screen._current is None or not _Screen._current._core.IsOpen):
            return None
        return getattr(Screen(), name)(*args, **kwargs)

    f.__name__ = name
    f.__doc__ = getattr(_Screen, name).__doc__
    return f


for _name in _TURTLE_FUNCTIONS:
    globals()[_name] = _turtle_function(_name)
for _name in _SCREEN_FUNCTIONS:
    globals()[_name] = _screen_function(_name)
del _name

__all__ = ["Screen", "Turtle", "RawTurtle", "Vec2D"] + _TURTLE_FUNCTIONS + _SCREEN_FUNCTIONS


def __getattr__(name):
    raise _not_offered("kritzelwerk.turtle", name)
