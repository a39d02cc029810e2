#include "stunde.h"

#include "ui_stunde.h"

#include <kritzelwerk/Turtle.h>

using namespace kritzel;

Stunde::Stunde(QWidget* parent) : QWidget(parent), ui(new Ui::Stunde) {
    ui->setupUi(this);
}

Stunde::~Stunde() {
    delete ui;
}

void Stunde::on_turtle_StartPaint() {
    TTurtle* turtle = ui->turtle;
    // Every repaint starts at the centre but keeps the heading the last drawing ended with.
    turtle->SetHeading(North);
    // A star of five points, 4 cm each.
    for (int i = 0; i < 5; ++i) {
        turtle->Forwd(4);
        turtle->Right(144);
    }
}
