// A form held in a pointer declared before the application outlives it: destroying the
// form afterwards must end the program normally, and a command in between fails clearly.
#include <kritzelwerk/Turtle.h>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    using namespace kritzel;
    std::unique_ptr<TForm> form;
    TTurtle* t = nullptr;
    {
        TApplication app(argc, argv);
        form = std::make_unique<TForm>("Zu lange gelebt");
        t = new TTurtle(form.get());
        t->Repaint();
        t->Forwd(1);
    }
    try {
        t->Forwd(1);
        std::puts("outlive_application: a command without an application did not fail");
        return 1;
    } catch (const EKritzelwerk& e) {
        std::printf("outlive_application: the command failed clearly: %s\n", e.what());
    }
    form.reset();
    std::puts("outlive_application: the form went after the application");
    return 0;
}
