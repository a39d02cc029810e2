"""Kritzel-Werk from Python against Python's own turtle, in one run on one display.

The same lines (lengths 0 to 299 pixels, turning 91 degrees) drawn by kritzelwerk.turtle
and by Python's turtle (tkinter): without animation (tracer(0), the picture shown once
at the end) and animated (speed(0), the sprite shown, each line on the screen). Then the
cost of one call from Python against the same command from C++ (bench_turtle's
BM_SetPosition with the sprite hidden), with and without the kept picture; and a million
commands kept from Python: how long, how much memory, how long to draw them again.

    PYTHONPATH=build/python scripts/with-xvfb /usr/bin/python3 bench/python_turtle.py \
        [--lines 20000] [--animated 2000] [--repeat 5] [--cpp build/bench/bench_turtle]
"""
import argparse
import json
import subprocess
import time
import turtle as python_turtle

import kritzelwerk
import kritzelwerk.turtle as kt


def lengths(n):
    return [(i * 7919) % 300 for i in range(n)]


def draw(t, steps):
    for length in steps:
        t.forward(length)
        t.left(91)


def timed(f):
    start = time.perf_counter()
    f()
    return time.perf_counter() - start


def best(f, repeat, before):
    """The shortest of repeat runs of f, each after before(), which is not timed."""
    times = []
    for _ in range(repeat):
        before()
        times.append(timed(f))
    return min(times)


def python_side(steps, animated, repeat):
    screen = python_turtle.Screen()
    screen.setup(640, 480)
    t = python_turtle.Turtle()

    def still():
        screen.tracer(0)
        t.hideturtle()
        draw(t, steps)
        screen.update()
        screen.getcanvas().update_idletasks()

    def moving():
        t.clear()
        screen.tracer(1)
        t.showturtle()
        t.speed(0)
        draw(t, animated)
        screen.getcanvas().update_idletasks()

    return best(still, repeat, t.clear), timed(moving)


def kritzel_side(steps, animated, repeat):
    screen = kt.Screen()
    t = kt.Turtle()

    def still():
        screen.tracer(0)
        t.hideturtle()
        draw(t, steps)
        screen.update()

    def moving():
        t.clear()
        screen.tracer(1)
        t.showturtle()
        t.speed(0)
        draw(t, animated)
        screen.update()

    return best(still, repeat, t.clear), timed(moving)


def call_cost(n):
    """Nanoseconds per SetPosition from Python, sprite hidden, kept picture on and off."""
    t = kritzelwerk.Turtle(400, 400, "Aufrufe")
    t.Showing = False
    result = {}
    for keep in (False, True):
        t.KeepPicture = keep
        t.Clear()
        x = 0.0
        start = time.perf_counter()
        for _ in range(n):
            t.SetPosition(x, 1.0)
            x = -4.0 if x > 4 else x + 0.01
        result[keep] = (time.perf_counter() - start) / n * 1e9
    t.Close()
    return result


def rss_kib():
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def kept(n):
    """Seconds to give n commands from Python with the picture kept, the memory they
    take, and the repaint that draws them all again."""
    t = kritzelwerk.Turtle(400, 400, "Behalten")
    t.Showing = False
    t.Heading = kritzelwerk.East
    before = rss_kib()
    start = time.perf_counter()
    for i in range(n // 2):
        t.Forwd((i * 7919) % 300 / 38)
        t.Right(91)
    given = time.perf_counter() - start
    grown = (rss_kib() - before) * 1024 / n
    start = time.perf_counter()
    t.Repaint()
    redraw = time.perf_counter() - start
    t.Close()
    return given, grown, redraw


def cpp_cost(binary):
    out = subprocess.run([binary, "--benchmark_filter=BM_SetPosition/shown:0",
                          "--benchmark_format=json"], capture_output=True, text=True, check=True)
    bench = json.loads(out.stdout)["benchmarks"][0]
    scale = {"ns": 1, "us": 1e3, "ms": 1e6}[bench["time_unit"]]
    return bench["real_time"] * scale


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--lines", type=int, default=20000)
    ap.add_argument("--animated", type=int, default=2000)
    ap.add_argument("--calls", type=int, default=1000000)
    ap.add_argument("--cpp", default="build/bench/bench_turtle")
    ap.add_argument("--kept", type=int, default=1000000)
    ap.add_argument("--repeat", type=int, default=5,
                    help="the still lines are timed this often on each side, the best kept")
    a = ap.parse_args()
    steps, animated = lengths(a.lines), lengths(a.animated)
    ours = kritzel_side(steps, animated, a.repeat)
    theirs = python_side(steps, animated, a.repeat)
    print(f"{a.lines} lines, tracer(0), best of {a.repeat}: kritzelwerk.turtle {ours[0]:.3f} s, "
          f"Python's turtle {theirs[0]:.3f} s: {theirs[0] / ours[0]:.1f}x")
    print(f"{a.animated} lines animated (speed 0, sprite shown): kritzelwerk.turtle "
          f"{ours[1]:.3f} s, Python's turtle {theirs[1]:.3f} s: {theirs[1] / ours[1]:.1f}x")
    given, grown, redraw = kept(a.kept)
    print(f"{a.kept} commands kept from Python: given in {given:.3f} s, {grown:.1f} bytes each "
          f"(the process's resident memory), all drawn again in {redraw:.3f} s "
          "(bench_kept: the event loop's waits meanwhile)")
    py = call_cost(a.calls)
    try:
        cpp = cpp_cost(a.cpp)
        print(f"SetPosition, sprite hidden: C++ {cpp:.0f} ns, Python {py[False]:.0f} ns "
              f"({py[False] / cpp:.1f}x), Python with the kept picture {py[True]:.0f} ns "
              f"({py[True] / cpp:.1f}x)")
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"SetPosition from Python: {py[False]:.0f} ns, kept {py[True]:.0f} ns "
              f"(C++ side not measured: {e})")


if __name__ == "__main__":
    main()
