// Correct, the circle walked as many short steps.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Haus");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.SetHeading(North);
        for (int i = 0; i < 4; ++i) {
            turtle.Forwd(4);
            turtle.Left(90);
        }
        turtle.SetPosition(3, 0);
        turtle.SetHeading(North);
        for (int i = 0; i < 360; ++i) {
            turtle.Forwd(2 * 3.14159265358979 / 360);
            turtle.Left(1);
        }
    });
    form.Show();
    return app.Run();
}
