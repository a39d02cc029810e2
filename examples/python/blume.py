"""Eine Blume, as the C++ lessons draw: the handler draws the picture on every repaint."""
from kritzelwerk import *

t = Turtle(400, 400, "Blume")


def zeichne():
    t.Heading = North
    for i in range(12):
        t.BeginFill()
        t.Arc(2.5, 60)
        t.Left(120)
        t.Arc(2.5, 60)
        t.EndFill(t.SelectColor(clYellow, clRed, i, 12))
        t.Left(-90)


t.OnStartPaint = zeichne
run()
