// Off the planned path: a control destroyed under its own command, a command broken off
// halfway, calls from a worker thread, and the values a form can hold.
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace kritzel;
using namespace kritzel::test;

namespace {

std::uint32_t Since(std::uint32_t t0) {
    return MonotonicTicks() - t0;
}

// Breaks off the command at its n-th message pump, as a closing application does.
class AbortingPump : public TMessagePump {
public:
    explicit AbortingPump(int n) : n_(n) {}
    void ProcessMessages() override {
        if (++calls == n_) throw EAbort();
    }
    void WaitMessage(std::uint32_t) override {}
    int calls = 0;

private:
    int n_;
};

} // namespace

TEST(Lifetimes, AHandlerThatDeletesItsTurtleEndsTheRepaint) {
    QWidget form;
    auto* t = new TTurtle(&form);
    QPointer<TTurtle> watch(t);
    bool slotRan = false;
    QObject::connect(t, &TTurtle::StartPaint, &form, [&] { slotRan = true; });
    t->SetOnStartPaint([t] { delete t; });
    EXPECT_THROW(t->Repaint(), EAbort);
    EXPECT_TRUE(watch.isNull());
    EXPECT_FALSE(slotRan) << "nothing runs on for a control that has gone";
}

TEST(Lifetimes, ATimerThatDeletesTheFormDuringADelayBreaksOffTheCommand) {
    auto* form = new TForm("weg");
    auto* t = new TTurtle(form);
    form->Show();
    t->Repaint();
    t->SetDelay(2000);
    QTimer::singleShot(50, [form] { delete form; });
    const auto t0 = MonotonicTicks();
    EXPECT_THROW(t->Forwd(1), EAbort);
    EXPECT_LT(Since(t0), 1000u) << "the wait ends with its control";
}

TEST(Lifetimes, ASecondWindowClosedDuringItsDrawingGoesAway) {
    TForm main("Hauptfenster");
    Application().SetMainForm(&main);
    QPointer<TForm> second = new TForm("zweites Fenster");
    second->setAttribute(Qt::WA_DeleteOnClose);
    auto* t = new TTurtle(second);
    int steps = 0;
    t->SetOnStartPaint([t, &steps] {
        t->SetDelay(20);
        for (int i = 0; i < 200; ++i, ++steps) {
            t->Forwd(0.2);
            t->Left(10);
        }
    });
    int stepsAtDeletion = -1;
    QObject::connect(t, &QObject::destroyed, [&] { stepsAtDeletion = steps; });
    second->Show();
    QTimer::singleShot(300, second, [&] { second->close(); });
    const auto t0 = MonotonicTicks();
    while (second && Since(t0) < 8000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(second.isNull()) << "the window was deleted on closing";
    EXPECT_LT(Since(t0), 2000u);
    EXPECT_LT(steps, 200) << "the drawing ended with its window";
    EXPECT_EQ(steps, stepsAtDeletion) << "no step ran on a turtle that had gone";
    EXPECT_FALSE(Application().Terminated()) << "only the second window closed";
}

TEST(Lifetimes, AClickOrKeyHandlerMayDeleteItsTurtleItsFormOrTheWholeWindow) {
    // The window holds a form, the form the turtle; a click or a key on the turtle
    // deletes one of the three, also while the turtle's drawing runs.
    for (const bool key : {false, true})
        for (int level = 0; level < 3; ++level)
            for (const bool drawing : {false, true}) {
                SCOPED_TRACE(testing::Message() << (key ? "key" : "click") << " deletes level "
                                                << level << (drawing ? " while drawing" : ""));
                QPointer<TForm> window = new TForm("weg");
                QPointer<QWidget> form = new QWidget(window);
                QPointer<TTurtle> t = new TTurtle(form);
                QWidget* const victim[] = {t, form, window};
                int handled = 0;
                const auto close = [&, v = victim[level]] {
                    ++handled;
                    delete v;
                };
                if (key)
                    t->SetOnKeyPress([close](int) { close(); });
                else
                    t->SetOnClick([close](double, double) { close(); });
                window->Show();
                t->setFocus();
                QWindow* const w = window->windowHandle();
                ASSERT_NE(w, nullptr);
                const QPoint at = t->mapTo(window.data(), QPoint(5, 5));
                const auto press = [&] {
                    if (key)
                        QTest::keyPress(w, Qt::Key_A);
                    else
                        QTest::mousePress(w, Qt::LeftButton, {}, at);
                };
                if (drawing) {
                    t->SetDelay(5);
                    t->SetOnStartPaint([&t, &press] {
                        QTimer::singleShot(20, press);
                        for (int i = 0; i < 400 && t; ++i)
                            t->Forwd(0.01);
                    });
                    EXPECT_THROW(t->Repaint(), EAbort);
                } else {
                    press();
                }
                EXPECT_EQ(handled, 1);
                EXPECT_TRUE(t.isNull());
                EXPECT_EQ(form.isNull(), level >= 1);
                EXPECT_EQ(window.isNull(), level == 2);
                QCoreApplication::processEvents();
                delete window;
            }
}

TEST(Lifetimes, AClickOrKeyHandlerMayReplaceOrClearItselfAndGoOn) {
    Painted t;
    std::vector<std::string> seen;
    // What a handler holds lives in it: replaced from inside, it must still be there.
    const std::string name(100, 'k');
    t.SetOnClick([&t, &seen, name](double, double) {
        t.SetOnClick(nullptr);
        seen.push_back(name);
    });
    t.SetOnKeyPress([&t, &seen, name](int) {
        t.SetOnKeyPress([&seen](int) { seen.push_back("second"); });
        seen.push_back(name);
    });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&t, &press);
    QCoreApplication::sendEvent(&t, &press);
    for (int i = 0; i < 2; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
        QCoreApplication::sendEvent(&t, &down);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{name, name, "second"}));
}

TEST(Lifetimes, TurtlesThatRepaintEachOtherNestedEndWithAClearErrorBeforeTheStackRunsOut) {
    std::vector<std::unique_ptr<TTurtle>> turtles;
    for (int i = 0; i < 1000; ++i) {
        turtles.push_back(std::make_unique<TTurtle>());
        turtles.back()->SetSize(4, 4);
    }
    int drawn = 0;
    for (std::size_t i = 0; i + 1 < turtles.size(); ++i)
        turtles[i]->SetOnStartPaint([&drawn, next = turtles[i + 1].get()] {
            ++drawn;
            next->Repaint();
        });
    try {
        turtles[0]->Repaint();
        ADD_FAILURE() << "no error after " << drawn << " drawings";
    } catch (const EKritzelwerk& e) {
        EXPECT_NE(std::string(e.what()).find("inside each other"), std::string::npos) << e.what();
    }
    EXPECT_EQ(drawn, 200);
    // Every turtle paints again, and a short chain runs to its end.
    turtles[3]->SetOnStartPaint(nullptr);
    drawn = 0;
    EXPECT_NO_THROW(turtles[0]->Repaint());
    EXPECT_EQ(drawn, 3);
}

TEST(Lifetimes, ABrokenOffCommandPutsBackPenBrushFontAndSprite) {
    Painted t(Sprite::Shown);
    const QImage clean = t.Picture();
    const TString font = t.Canvas()->Font().Name();
    const TBrushStyle style = t.Canvas()->Brush().Style();
    auto command = [&](int which) {
        switch (which) {
        case 0:
            t.SetPosition(2, 1);
            break;
        case 1:
            t.DrawCircle(1);
            break;
        case 2:
            t.FillCircle(1, clBlue);
            break;
        case 3:
            t.FillRectangle(2, 1, clGreen);
            break;
        default:
            t.DrawStringPos(1, 1, "Hallo", "DejaVu Sans", 12, clBlue);
            break;
        }
    };
    for (int which = 0; which < 5; ++which) {
        for (bool shown : {true, false}) {
            for (int at = 1; at <= 12; ++at) {
                SCOPED_TRACE(testing::Message() << "command " << which << " shown " << shown
                                                << " broken off at pump " << at);
                t.SetShowTurtle(shown);
                AbortingPump pump(at);
                {
                    ServicesScope scope(nullptr, &pump);
                    try {
                        command(which);
                    } catch (const EAbort&) {
                    }
                }
                EXPECT_EQ(t.PenState(), Down);
                EXPECT_EQ(t.Showing(), shown);
                EXPECT_EQ(t.Canvas()->Font().Name(), font);
                // Text leaves the brush clear by design; the others put it back.
                if (which != 4) {
                    EXPECT_EQ(t.Canvas()->Brush().Style(), style);
                }
                t.Canvas()->Brush().SetStyle(style);
                // The turtle still draws, and its sprite comes and goes in pairs.
                t.SetShowTurtle(true);
                t.Clear();
                EXPECT_EQ(DifferingPixels(t.Picture(), clean), 0);
                t.Forwd(1);
                EXPECT_GT(DifferingPixels(t.Picture(), clean), 0);
                t.Clear();
            }
        }
    }
}

TEST(Threads, CommandsFromAWorkerThreadAreRefusedBeforeTheyTouchAnything) {
    Painted t;
    const QImage before = t.Picture();
    std::vector<std::string> errors;
    std::thread worker([&] {
        auto attempt = [&](auto&& f) {
            try {
                f();
                errors.push_back("no error");
            } catch (const EKritzelwerk& e) {
                errors.push_back(e.what());
            }
        };
        attempt([&] { t.Forwd(3); });
        attempt([&] { t.SetHeading(10); });
        attempt([&] { t.SetPenState(Up); });
        attempt([&] { t.Repaint(); });
        attempt([&] { t.Invalidate(); });
        attempt([&] { Application().ProcessMessages(); });
        attempt([&] { TTurtle other; });
        // The commands added beside the turtle's own keep the same rule.
        attempt([&] { t.Arc(2, 90); });
        attempt([&] { t.BeginFill(); });
        attempt([&] { t.Stamp(); });
        attempt([&] { t.SaveToFile("never.png"); });
        attempt([&] { t.CopyToClipboard(); });
        attempt([&] { AskNumber("?", 1); });
        attempt([&] { t.SetKeepPicture(true); });
        attempt([&] { t.GoTo(1, 1); });
        attempt([&] { t.Dot(1); });
    });
    worker.join();
    ASSERT_EQ(errors.size(), 16u);
    for (const std::string& e : errors)
        EXPECT_NE(e.find("GUI thread"), std::string::npos) << e;
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.Heading(), 90.0);
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_EQ(DifferingPixels(t.Picture(), before), 0);
    EXPECT_NO_THROW(t.Forwd(1)) << "the GUI thread goes on";
}

TEST(FormValues, AControlNotYetShownDoesNotWaitWhileItsPropertiesLoad) {
    QWidget form;
    TTurtle t(&form);
    const auto t0 = MonotonicTicks();
    t.setProperty("Delay", 1000);
    for (const char* p : {"TurtleSize", "Heading", "x", "y"})
        t.setProperty(p, 9);
    EXPECT_LT(Since(t0), 500u);
    t.setProperty("Delay", 0);
}

TEST(FormValues, IntegersAreClampedAndEnumerationsRefuseStrangers) {
    TTurtle t;
    t.setProperty("Delay", -1);
    EXPECT_EQ(t.Delay(), 0);
    t.setProperty("Delay", 70000);
    EXPECT_EQ(t.Delay(), 65535);
    t.setDelay(0);
    for (int size : {70000, 65536, 1000000000}) {
        t.setTurtleSize(size);
        EXPECT_EQ(t.TurtleSize(), 65535) << size;
    }
    t.setTurtleSize(-5);
    EXPECT_EQ(t.TurtleSize(), 0);
    t.setTurtleSize(7);

    int warnings = 0;
    static int* counter = nullptr;
    counter = &warnings;
    const QtMessageHandler old =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString&) {
            if (type == QtWarningMsg) ++*counter;
        });
    for (int bad : {7, 249, 255}) {
        t.SetAusgabe(static_cast<TTurtleDevice>(bad));
        t.SetPenState(static_cast<TPenState>(bad));
    }
    qInstallMessageHandler(old);
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_EQ(warnings, 6);
}

TEST(FormValues, TheControlCannotGrowBeyondWhatItDraws) {
    QWidget form;
    TTurtle t(&form);
    t.setGeometry(0, 0, 100000, 100000);
    EXPECT_LE(t.width(), 16384);
    EXPECT_LE(t.height(), 16384);
    EXPECT_LE(t.Width(), 16384);
}
