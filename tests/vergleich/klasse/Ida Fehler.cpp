// Does not compile: a bracket is missing.
#include <kritzelwerk/Turtle.h>
using namespace kritzel;

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm form("Haus");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] {
        turtle.Forwd(4;
    });
    form.Show();
    return app.Run();
}
