// Asks for the side: the default (3) is wrong, the teacher's answer (4) is right.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Haus");
    TTurtle turtle(&form);
    const double side = AskNumber("Seitenlänge?", 3);
    turtle.SetOnStartPaint([&] {
        turtle.SetHeading(North);
        for (int i = 0; i < 4; ++i) {
            turtle.Forwd(side);
            turtle.Left(90);
        }
        turtle.SetPosition(3, 0);
        turtle.SetHeading(North);
        turtle.Arc(1, 360);
    });
    form.Show();
    return app.Run();
}
