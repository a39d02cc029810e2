// Throws out of the repaint: the result is the program's own message, not the failed save
// that follows it, and names no folder of the grader's.
#include <kritzelwerk/Turtle.h>

#include <stdexcept>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Haus");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.Forwd(1);
        throw std::runtime_error("Hilfe, zu weit!");
    });
    form.Show();
    return app.Run();
}
