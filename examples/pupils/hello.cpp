// Hallo Turtle: the smallest program, a turtle in the middle of its window.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Hallo Turtle");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint(
        [&] { turtle.DrawStringCent(3, "Hallo, Turtle!", "Arial", 18, clBlue); });
    form.Show();
    return app.Run();
}
