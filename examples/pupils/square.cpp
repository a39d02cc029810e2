// Ein Quadrat: four times forward and a left turn.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Quadrat");
    TTurtle turtle(&form);
    turtle.SetDelay(200);
    turtle.SetOnStartPaint([&] {
        turtle.SetHeading(North); // a repaint keeps the heading the last drawing ended with
        for (int i = 0; i < 4; ++i) {
            turtle.Forwd(4);
            turtle.Left(90);
        }
    });
    form.Show();
    return app.Run();
}
