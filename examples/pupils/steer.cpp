// Steuern: the arrow keys steer the turtle, a click sends it to the point clicked, C
// wipes the way. The control keeps no picture, so the program keeps the way the turtle
// went and draws it again whenever the window is painted.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

#include <vector>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Steuern");
    TTurtle turtle(&form);
    std::vector<TVirtuell> way;
    auto goTo = [&](double x, double y) {
        turtle.SetHeading(turtle.Towards(x, y));
        turtle.Forwd(turtle.Distance(x, y));
    };
    turtle.SetOnStartPaint([&] {
        for (const TVirtuell& p : way)
            goTo(p.x, p.y);
    });
    turtle.SetOnClick([&](double x, double y) {
        goTo(x, y);
        way.push_back({x, y});
    });
    turtle.SetOnKeyPress([&](int key) {
        if (key == Qt::Key_Left) turtle.Left(15);
        if (key == Qt::Key_Right) turtle.Right(15);
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            turtle.Forwd(key == Qt::Key_Up ? 0.5 : -0.5);
            way.push_back({turtle.x(), turtle.y()});
        }
        if (key == Qt::Key_C) {
            way.clear();
            turtle.Clear();
        }
    });
    form.Show();
    return app.Run();
}
