#pragma once

#include <QWidget>

namespace Ui {
class Stunde;
}

class Stunde : public QWidget {
    Q_OBJECT

public:
    explicit Stunde(QWidget* parent = nullptr);
    ~Stunde() override;

private slots:
    // Runs whenever the turtle's window is painted: the whole drawing belongs here.
    void on_turtle_StartPaint();

private:
    Ui::Stunde* ui;
};
