// Correct, drawn the other way round: the circle first and backwards, the square clockwise.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Haus");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.SetPosition(3, 0);
        turtle.SetHeading(North);
        turtle.Arc(1, -360);
        turtle.SetPosition(-4, 4);
        turtle.SetHeading(East);
        for (int i = 0; i < 4; ++i) {
            turtle.Forwd(4);
            turtle.Right(90);
        }
    });
    form.Show();
    return app.Run();
}
