// Ein Farbverlauf: SelectColor gives the colours from blue towards yellow.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Farbverlauf");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.SetHeading(East);
        for (int i = 0; i <= 20; ++i) {
            turtle.SetPosition(-5 + i * 0.5, -2);
            turtle.FillRectangle(0.5, 4, turtle.SelectColor(clYellow, clBlue, i, 20));
        }
    });
    form.Show();
    return app.Run();
}
