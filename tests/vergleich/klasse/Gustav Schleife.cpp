// Turns for ever: headless, Escape never comes.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Haus");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        while (!turtle.EscPressed())
            turtle.Left(1);
    });
    form.Show();
    return app.Run();
}
