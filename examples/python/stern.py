"""A lesson written for Python's turtle; only its import line names Kritzel-Werk."""
import kritzelwerk.turtle as turtle

turtle.speed(0)
turtle.color("red", "yellow")
turtle.begin_fill()
for _ in range(36):
    turtle.forward(200)
    turtle.left(170)
turtle.end_fill()
turtle.penup()
turtle.goto(-60, -150)
turtle.write("Stern", font=("DejaVu Sans", 16, "normal"))
turtle.done()
