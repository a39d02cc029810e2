// The solution and a diagonal through the square.
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
        turtle.Left(45);
        turtle.Forwd(4 * 1.41421356237310);
        turtle.SetPosition(3, 0);
        turtle.SetHeading(North);
        turtle.Arc(1, 360);
    });
    form.Show();
    return app.Run();
}
