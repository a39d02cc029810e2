# The solution in Python.
from kritzelwerk import *

t = Turtle(400, 400, "Haus")
t.SetHeading(North)
for i in range(4):
    t.Forwd(4)
    t.Left(90)
t.SetPosition(3, 0)
t.SetHeading(North)
t.Arc(1, 360)
run()
