"""kritzelwerk.turtle against Python's turtle: the same lesson, the same positions."""
import math

import pytest

import kritzelwerk
import kritzelwerk.turtle as kt
from conftest import svg_line_mm


def lesson(t, Vec2D):
    """A lesson for Python's turtle; what it notes is compared."""
    out = []

    def note():
        out.append((t.xcor(), t.ycor(), t.heading(), t.towards(37, -12), t.distance((5, 9))))

    t.forward(100)
    t.left(91)
    note()
    t.back(33.3)
    t.right(47.5)
    note()
    t.goto(-50, 20)
    t.setx(10)
    t.sety(-70)
    t.setpos((4, 5))
    note()
    t.setheading(225)
    t.fd(12)
    note()
    t.circle(40)
    note()
    t.circle(-25, 135)
    note()
    t.circle(60, -70, 7)
    note()
    t.circle(30, steps=6)
    note()
    t.penup()
    t.home()
    note()
    t.pendown()
    t.radians()
    t.left(1.0)
    t.forward(20)
    note()
    t.degrees()
    for i in range(300):
        t.forward(i * 7 % 300)
        t.left(91)
    note()
    t.goto(t.pos() + Vec2D(3, 4) * 2)
    note()
    out.append(tuple(t.pos().rotate(30)) + (abs(t.pos()), t.pos() * Vec2D(1, 2)))
    return out


@pytest.fixture(scope="module")
def python_turtle():
    turtle = pytest.importorskip("turtle")
    try:
        turtle.tracer(0)
    except turtle.tkinter.TclError as e:
        pytest.fail(f"Python's turtle needs the private X server: {e}")
    yield turtle
    turtle.bye()


def test_positions_headings_towards_distance_agree_with_pythons_turtle(python_turtle):
    theirs = lesson(python_turtle.Turtle(), python_turtle.Vec2D)
    kt.tracer(0)
    ours = lesson(kt.Turtle(), kt.Vec2D)
    kt.tracer(1)
    assert len(ours) == len(theirs)
    for i, (a, b) in enumerate(zip(ours, theirs)):
        for u, v in zip(a, b):
            d = abs(u - v)
            assert min(d, abs(d - 360)) < 1e-9, f"note {i}: {a} against {b}"


def test_several_turtles_keep_their_own_pose_and_pen():
    a, b = kt.Turtle(), kt.Turtle()
    a.speed(0)
    b.speed(0)
    a.forward(50)
    b.left(90)
    b.forward(30)
    a.pencolor("red")
    a.pensize(3)
    a.left(45)
    assert a.pos() == pytest.approx((50, 0)) and b.pos() == pytest.approx((0, 30))
    assert (a.heading(), b.heading()) == pytest.approx((45, 90))
    assert (b.pencolor(), b.pensize(), a.pencolor(), a.pensize()) == ("black", 1, "red", 3)
    b.clear()  # the drawing goes, both turtles stay
    assert a.pos() == pytest.approx((50, 0)) and b.pos() == pytest.approx((0, 30))


def test_a_name_not_offered_raises_attribute_error_naming_it():
    with pytest.raises(AttributeError, match="undo"):
        kt.Turtle().undo()
    with pytest.raises(AttributeError, match="shape"):
        kt.shape("turtle")
    with pytest.raises(AttributeError, match="ontimer"):
        kt.Screen().ontimer(print, 10)
    namespace = {}
    exec("from kritzelwerk.turtle import *", namespace)
    assert "forward" in namespace and "Vec2D" in namespace and "shape" not in namespace


def test_a_closed_screen_is_opened_afresh_by_the_next_turtle():
    old = kt.Turtle()
    old.forward(10)
    kt.bye()
    with pytest.raises(kritzelwerk.Error, match="closed"):
        old.forward(10)
    kt.forward(10)  # the module's own turtle on a fresh window
    assert kt.pos() == pytest.approx((10, 0))


def test_a_move_given_no_number_raises_as_pythons_turtle_does():
    kt.Screen().clear()
    t = kt.Turtle()
    for move in (t.forward, t.back, t.left, t.right):
        with pytest.raises(TypeError):
            move("zehn")
    t.forward(True)  # a number to Python, as to its turtle
    assert t.pos() == pytest.approx((1, 0)) and t.heading() == 0


def test_save_keeps_the_true_size(tmp_path):
    kt.Screen().clear()
    t = kt.Turtle()
    t.speed(0)
    t.forward(96)  # one inch
    t.save(tmp_path / "zoll.svg")
    assert svg_line_mm(tmp_path / "zoll.svg") == pytest.approx(25.4, abs=0.4)


def test_colours_speeds_and_fills_as_pythons_turtle_takes_them():
    s = kt.Screen()
    t = kt.Turtle()
    t.color("red", (0, 0.5, 1))
    assert t.color() == ("red", (0, 0.5, 1))
    s.colormode(255)
    t.pencolor(0, 128, 255)
    assert t.pencolor() == (0, 128, 255)
    s.colormode(1.0)
    with pytest.raises(ValueError):
        t.pencolor((2, 0, 0))
    t.speed("fastest")
    assert t.speed() == 0
    t.begin_fill()
    assert t.filling()
    t.circle(20)
    t.end_fill()
    assert not t.filling()
    assert math.isclose(t.distance(0, 0), 0, abs_tol=1e-9)


def test_clear_leaves_a_lone_turtle_where_it_is():
    kt.bye()
    t = kt.Turtle()
    t.speed(0)
    t.forward(50)
    t.left(30)
    t.clear()
    t.forward(10)
    assert t.pos() == pytest.approx((50 + 10 * math.cos(math.radians(30)), 5))
    assert t.heading() == pytest.approx(30)
