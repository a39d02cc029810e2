"""Eine Spirale, Befehl für Befehl: each command draws at once and the picture stays,
as at the prompt. Lengths in cm; run() keeps the window open until it is closed."""
from kritzelwerk import *

t = Turtle(400, 400, "Spirale")
t.Heading = East
t.PenColor = "darkblue"
for i in range(60):
    t.Forwd(0.15 * i)
    t.Left(91)
t.SaveToFile("spirale.svg")  # true size, as vectors
run()
