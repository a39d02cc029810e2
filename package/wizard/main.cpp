#include "stunde.h"

#include <kritzelwerk/Turtle.h>

int main(int argc, char** argv) {
    kritzel::TApplication app(argc, argv);
    Stunde window;
    window.show();
    return app.Run();
}
