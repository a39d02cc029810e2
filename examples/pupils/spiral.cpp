// Eine Spirale: each step a little longer than the one before.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Spirale");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.SetHeading(North); // a repaint keeps the heading the last drawing ended with
        for (int i = 0; i < 200; ++i) {
            if (turtle.EscPressed()) break;
            turtle.Forwd(i * 0.02);
            turtle.Left(30);
        }
    });
    form.Show();
    return app.Run();
}
