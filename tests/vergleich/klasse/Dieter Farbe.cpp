// The square in red instead of black.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Haus");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.SetPenColor(clRed);
        turtle.SetHeading(North);
        for (int i = 0; i < 4; ++i) {
            turtle.Forwd(4);
            turtle.Left(90);
        }
        turtle.SetPenColor(clBlack);
        turtle.SetPosition(3, 0);
        turtle.SetHeading(North);
        turtle.Arc(1, 360);
    });
    form.Show();
    return app.Run();
}
