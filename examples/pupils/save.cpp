// Speichern: a flower of arcs, saved as an SVG for the worksheet and as a PNG, in one
// step each. The files land in the current folder.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Speichern");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.SetHeading(North);
        for (int i = 0; i < 12; ++i) {
            turtle.BeginFill();
            turtle.Arc(2.5, 60);
            turtle.Left(120);
            turtle.Arc(2.5, 60);
            turtle.Left(120);
            turtle.EndFill(turtle.SelectColor(clRed, clYellow, i, 11));
            turtle.Left(30);
        }
    });
    try {
        turtle.SaveToFile("blume.svg");
        turtle.SaveToFile("blume.png");
        std::printf("Saved blume.svg and blume.png\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    form.Show();
    return app.Run();
}
