// A pupil's program that saves in main without try, to a folder that does not exist; with
// the argument "eigener" it throws an exception of its own instead.
#include <kritzelwerk/Turtle.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

int main(int argc, char** argv) {
    using namespace kritzel;
    TApplication app(argc, argv);
    TForm form("Fehler");
    TTurtle turtle(&form);
    turtle.SetOnStartPaint([&] { turtle.Forwd(2); });
    std::printf("before the save\n"); // buffered when piped: must not be lost
    if (argc > 1 && std::strcmp(argv[1], "eigener") == 0) throw std::logic_error("eigener Fehler");
    turtle.SaveToFile("gibtsnicht/bild.svg");
    return 0;
}
