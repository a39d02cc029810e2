// The Python module kritzelwerk._core: the turtle control in a window of its own, for
// Python programs and for the prompt. kritzelwerk/__init__.py shows it as `kritzelwerk`.
// Python's headers first: Qt's keyword macros (slots) would break them.
#include <pybind11/pybind11.h>

#include <kritzelwerk/Turtle.h>
#include <kritzelwerk/host/Dialogs.h>
#include <kritzelwerk/host/Snapshot.h>

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "docstrings.h"

namespace py = pybind11;
using namespace kritzel;

namespace {

// The text of the C++ doc comment of name; every docstring of the module comes from it.
std::string Doc(std::string_view name) {
    for (const auto& [n, text] : kDocs)
        if (n == name) return std::string(text);
    return {};
}

// A property's docstring: what reading gives, then what setting does.
std::string PropertyDoc(std::string_view getter, std::string_view setter) {
    std::string d = Doc(getter);
    const std::string s = Doc(setter);
    if (!s.empty()) d += (d.empty() ? "" : "\n\n") + std::string("Setting it: ") + s;
    return d;
}

// Raised in Python as kritzelwerk.Error, as the library's own failures are.
struct ModuleError : EKritzelwerk {
    using EKritzelwerk::EKritzelwerk;
};

class PyTurtle;

// The application and its windows, for the life of the interpreter.
struct Session {
    int argc = 1;
    char name[16] = "kritzelwerk";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<TApplication> app;
    // The main form: closing a turtle's window must not end the application, so that a
    // program can be run again in the same interpreter.
    std::unique_ptr<QWidget> anchor;
    std::thread::id gui;
    std::set<PyTurtle*> windows;
    // An exception a Python handler raised inside a drawing, until Python code waiting
    // (a command, run(), the prompt) takes it.
    std::optional<py::error_already_set> pending;
    // kritzelwerk.Error.
    PyObject* error = PyExc_RuntimeError;
    // run() kept the windows already, as there was no display.
    bool kept = false;
};
Session& S() {
    static Session* s = new Session; // never destroyed: _shutdown ends what it holds
    return *s;
}

void CheckThread() {
    Session& s = S();
    if (s.app && std::this_thread::get_id() != s.gui)
        throw ModuleError("kritzelwerk was called from another thread: a turtle may only be "
                          "used on the thread that made its window");
}

// Raises what a handler raised meanwhile, or a pending Ctrl+C.
void RaisePending() {
    Session& s = S();
    if (s.pending) {
        py::error_already_set e = std::move(*s.pending);
        s.pending.reset();
        throw e;
    }
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

int InputHook();

void StartApplication() {
    Session& s = S();
    if (s.app) return;
    s.app = std::make_unique<TApplication>(s.argc, s.argv);
    s.gui = std::this_thread::get_id();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    s.anchor = std::make_unique<QWidget>();
    s.app->SetMainForm(s.anchor.get());
    // Library failures inside a drawing run from the event loop come back as Python's.
    s.app->SetOnException([](const std::exception& e) {
        py::gil_scoped_acquire gil;
        if (dynamic_cast<const EAbort*>(&e)) return;
        if (!S().pending) {
            PyErr_SetString(dynamic_cast<const EKritzelwerk*>(&e) ? S().error : PyExc_RuntimeError,
                            e.what());
            S().pending.emplace();
        }
    });
    PyOS_InputHook = &InputHook;
}

// Calls a Python handler from a drawing: what it raises ends the drawing and waits for
// the Python code that runs the event loop; nothing crosses Qt's frames.
struct Handler {
    std::shared_ptr<py::object> f;
    explicit Handler(py::object fn)
        : f(new py::object(std::move(fn)), [](py::object* p) {
              py::gil_scoped_acquire gil;
              delete p;
          }) {}
    template <class... A> void operator()(A... a) const {
        py::gil_scoped_acquire gil;
        if (S().pending) return;
        try {
            (*f)(a...);
        } catch (py::error_already_set& e) {
            S().pending.emplace(std::move(e));
        }
    }
};

class Window : public TForm {
public:
    Window(const TString& title, int width, int height) : TForm(title) {
        turtle = new TTurtle(this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(turtle);
        turtle->SetSize(width, height);
        turtle->SetKeepPicture(true);
        turtle->setFocus();
        resize(width, height);
        Show();
    }
    TTurtle* turtle = nullptr;
    bool closed = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        TForm::closeEvent(event);
        if (event->isAccepted()) closed = true;
    }
};

// What Python holds: a window that either Python or the user may end first.
class PyTurtle {
public:
    PyTurtle(int width, int height, const std::string& title) {
        if (width < 1 || height < 1)
            throw py::value_error("a window needs a width and a height of at least 1");
        CheckThread();
        StartApplication();
        window_ = new Window(title, width, height);
        S().windows.insert(this);
    }
    ~PyTurtle() {
        Destroy();
        S().windows.erase(this);
    }
    PyTurtle(const PyTurtle&) = delete;
    PyTurtle& operator=(const PyTurtle&) = delete;

    // Deletes the window, unless the application has already gone.
    void Destroy() {
        Window* w = window_;
        window_ = nullptr;
        if (w && S().app) delete w;
    }

    // The turtle for a command: on this thread only, while its window is open.
    TTurtle& T() {
        CheckThread();
        if (!window_ || !S().app)
            throw ModuleError("this turtle's window is gone: make a new one with Turtle()");
        if (window_->closed)
            throw ModuleError("this turtle's window was closed: make a new one with Turtle()");
        return *window_->turtle;
    }
    bool Open() const { return window_ && !window_->closed; }
    void Close() {
        if (window_ && !window_->closed) window_->close();
    }
    void Focus() {
        T();
        window_->activateWindow();
        window_->turtle->setFocus();
    }
    std::string Title() {
        T();
        return window_->Caption();
    }

    py::object startPaint = py::none(), click = py::none(), key = py::none();

private:
    Window* window_ = nullptr;
};

// A colour from Python: a TColor number (red in the lowest byte), a Qt colour name or
// "#rrggbb".
TColor ToColor(const py::handle& h) {
    if (py::isinstance<py::str>(h)) {
        const QColor c(QString::fromStdString(h.cast<std::string>()));
        if (!c.isValid())
            throw py::value_error("unknown colour \"" + h.cast<std::string>() +
                                  "\": a name such as \"red\", \"#rrggbb\" or a number");
        return FromQColor(c);
    }
    if (py::isinstance<py::int_>(h) && !py::isinstance<py::bool_>(h))
        return static_cast<TColor>(h.cast<long long>() & 0xFFFFFFFFll);
    throw py::type_error("a colour is a number (0x00bbggrr, red in the lowest byte), a "
                         "colour name such as \"red\", or \"#rrggbb\"");
}

// Runs a command of the turtle and then raises what a handler raised meanwhile.
template <class F> auto Command(PyTurtle& p, F f) {
    TTurtle& t = p.T();
    if constexpr (std::is_void_v<decltype(f(t))>) {
        f(t);
        RaisePending();
    } else {
        auto r = f(t);
        RaisePending();
        return r;
    }
}

// Runs Qt's event loop until stop() says so, checking it every 20 ms.
template <class Stop> void Loop(Stop stop) {
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (stop()) loop.quit();
    });
    timer.start(20);
    if (!stop()) loop.exec();
}

// kritzelwerk.turtle's units: a pixel at 96 per inch.
constexpr double CmPerPixel = 2.54 / 96;

void ForwdPx(TTurtle& t, double d) {
    t.Forwd(d * CmPerPixel);
}
void BackPx(TTurtle& t, double d) {
    t.Back(d * CmPerPixel);
}
void TurnLeft(TTurtle& t, double a) {
    t.Left(a);
}
void TurnRight(TTurtle& t, double a) {
    t.Right(a);
}

// A move bound to one turtle (BindMove): the turtle, and the Python object that keeps it.
struct BoundMove {
    PyTurtle* p;
    py::object keep;
};

// Calls a bound move with one number, and turns what it raises into Python's error as
// pybind11 would: kritzelwerk.Error for the library's, RuntimeError for any other.
template <void (*Move)(TTurtle&, double)> PyObject* BoundMoveCall(PyObject* self, PyObject* arg) {
    const double v = PyFloat_AsDouble(arg);
    if (v == -1.0 && PyErr_Occurred()) return nullptr;
    auto* b = static_cast<BoundMove*>(PyCapsule_GetPointer(self, "kritzelwerk.move"));
    if (!b) return nullptr;
    try {
        Command(*b->p, [&](TTurtle& t) { Move(t, v); });
    } catch (py::error_already_set& e) {
        e.restore();
        return nullptr;
    } catch (const EKritzelwerk& e) {
        PyErr_SetString(S().error, e.what());
        return nullptr;
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
        return nullptr;
    }
    Py_RETURN_NONE;
}

template <void (*Move)(TTurtle&, double)>
py::object BindMove(PyTurtle* p, py::object keep, const char* name, const char* doc) {
    static PyMethodDef def{name, &BoundMoveCall<Move>, METH_O, doc};
    auto move = std::make_unique<BoundMove>(BoundMove{p, std::move(keep)});
    py::capsule holder(move.get(), "kritzelwerk.move", [](PyObject* c) {
        delete static_cast<BoundMove*>(PyCapsule_GetPointer(c, "kritzelwerk.move"));
    });
    move.release();
    PyObject* f = PyCFunction_NewEx(&def, holder.ptr(), nullptr);
    if (!f) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(f);
}

bool AnyOpen() {
    for (PyTurtle* p : S().windows)
        if (p->Open()) return true;
    return false;
}

// While the prompt waits for input, the windows keep repainting: Qt's event loop runs
// until standard input can be read, as tkinter does for Python's turtle.
int InputHook() {
    py::gil_scoped_acquire gil;
    Session& s = S();
    if (!s.app || std::this_thread::get_id() != s.gui) return 0;
    {
        QSocketNotifier input(0, QSocketNotifier::Read);
        QEventLoop loop;
        QObject::connect(&input, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (s.pending) loop.quit();
        });
        timer.start(20);
        {
            py::gil_scoped_release nogil;
            loop.exec();
        }
    }
    if (s.pending) {
        // What a handler raised is shown at the prompt, with its traceback.
        py::error_already_set e = std::move(*s.pending);
        s.pending.reset();
        e.restore();
        PyErr_Print();
    }
    return 0;
}

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "Kritzel-Werk's turtle control in a window, for Python (see kritzelwerk).";
    S().error = py::register_exception<EKritzelwerk>(m, "Error", PyExc_RuntimeError).ptr();
    m.attr("Error").attr("__doc__") =
        Doc("EKritzelwerk") + "\nIn Python also: a command after its window was closed, or from "
                              "another thread than the one that made the window.";

    py::enum_<TPenState>(m, "TPenState", Doc("TPenState").c_str())
        .value("Up", Up, Doc("Up").c_str())
        .value("Down", Down)
        .export_values();
    py::enum_<TTurtleDevice>(m, "TTurtleDevice", Doc("TTurtleDevice").c_str())
        .value("tdScreen", tdScreen)
        .value("tdPrinter", tdPrinter)
        .value("tdWMF", tdWMF)
        .value("tdClipb", tdClipb)
        .export_values();
    m.attr("East") = East;
    m.attr("North") = North;
    m.attr("West") = West;
    m.attr("South") = South;
#define KW_COLOUR(name) m.attr(#name) = name;
    KW_COLOUR(clBlack)
    KW_COLOUR(clMaroon)
    KW_COLOUR(clGreen)
    KW_COLOUR(clOlive)
    KW_COLOUR(clNavy)
    KW_COLOUR(clPurple)
    KW_COLOUR(clTeal) KW_COLOUR(clGray) KW_COLOUR(clSilver) KW_COLOUR(clRed) KW_COLOUR(clLime)
        KW_COLOUR(clYellow) KW_COLOUR(clBlue) KW_COLOUR(clFuchsia) KW_COLOUR(clAqua)
            KW_COLOUR(clWhite)
#undef KW_COLOUR

                m.def(
                    "RGB",
                    [](int r, int g, int b) {
                        for (int v : {r, g, b})
                            if (v < 0 || v > 255)
                                throw py::value_error("each part of RGB is 0 to 255");
                        return RGB(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b));
                    },
                    py::arg("r"), py::arg("g"), py::arg("b"), Doc("RGB").c_str());
    m.def(
        "GetRValue", [](py::object c) { return int(GetRValue(ToColor(c))); },
        Doc("GetRValue").c_str());
    m.def(
        "GetGValue", [](py::object c) { return int(GetGValue(ToColor(c))); },
        Doc("GetGValue").c_str());
    m.def(
        "GetBValue", [](py::object c) { return int(GetBValue(ToColor(c))); },
        Doc("GetBValue").c_str());
    m.def(
        "Color", [](py::object c) { return ToColor(c); }, py::arg("colour"),
        "The TColor number (0x00bbggrr, red in the lowest byte) of a colour given as a "
        "number, a Qt colour name such as \"red\" or \"#rrggbb\".");

    m.def(
        "AskNumber",
        [](const std::string& prompt, double def) {
            CheckThread();
            StartApplication();
            return AskNumber(prompt, def);
        },
        py::arg("Prompt"), py::arg("Default") = 0.0, Doc("AskNumber").c_str());
    m.def(
        "QueryNumber",
        [](const std::string& prompt, double value, double lo, double hi) -> py::object {
            CheckThread();
            StartApplication();
            if (!QueryNumber(prompt, value, lo, hi)) return py::none();
            return py::float_(value);
        },
        py::arg("Prompt"), py::arg("Value") = 0.0, py::arg("Min") = -INFINITY,
        py::arg("Max") = INFINITY,
        (Doc("QueryNumber") + "\n\nIn Python: the answer, or None on Cancel.").c_str());
    m.def(
        "AskText",
        [](const std::string& prompt, const std::string& def) {
            CheckThread();
            StartApplication();
            return AskText(prompt, def);
        },
        py::arg("Prompt"), py::arg("Default") = "", Doc("AskText").c_str());
    m.def(
        "QueryText",
        [](const std::string& prompt, std::string value) -> py::object {
            CheckThread();
            StartApplication();
            if (!QueryText(prompt, value)) return py::none();
            return py::str(value);
        },
        py::arg("Prompt"), py::arg("Value") = "",
        (Doc("QueryText") + "\n\nIn Python: the answer, or None on Cancel.").c_str());

    m.def(
        "run",
        [] {
            CheckThread();
            Session& s = S();
            if (!s.app) return 0;
            RaisePending();
            if (!s.app->HasDisplay()) {
                // Nobody could close a window here: paint them, keep each as a PNG.
                for (int i = 0; i < 10; ++i)
                    s.app->ProcessMessages();
                RaisePending();
                s.kept = true;
                return KeepShownWindows();
            }
            Loop([&] { return s.pending || !AnyOpen() || PyErr_CheckSignals() != 0; });
            RaisePending();
            return 0;
        },
        "Runs the event loop until every turtle's window is closed, so that handlers "
        "(OnStartPaint, OnClick, OnKeyPress) answer; what a handler raises ends it and is "
        "raised here. Without a display it draws each window once and saves it as a PNG "
        "named after its title (in KRITZEL_OUTPUT_DIR, else the current folder), as a C++ "
        "program's Run() does, and returns the exit status (0, or 1 when one could not be "
        "written). With KRITZEL_DRAWINGS set to a folder it also keeps there each turtle's "
        "drawing as SaveToFile saves it (NN.emf, NN.png, listed in drawings.json); a "
        "script that ends without run() keeps them so at exit.");
    m.def(
        "process_events",
        [](double seconds) {
            CheckThread();
            Session& s = S();
            if (!s.app) return;
            const auto until =
                std::chrono::steady_clock::now() +
                std::chrono::microseconds(std::int64_t(std::max(0.0, seconds) * 1e6));
            for (;;) {
                s.app->ProcessMessages();
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - std::chrono::steady_clock::now());
                if (s.pending || left.count() <= 0) break;
                // Sleeps in the event system, not on the processor.
                s.app->WaitMessage(std::uint32_t(std::min<long long>(left.count(), 10)));
            }
            RaisePending();
        },
        py::arg("seconds") = 0.0,
        "Handles the windows' pending events for about the given seconds (the hook of an "
        "interactive shell calls it).");
    m.def(
        "show_now",
        [] {
            CheckThread();
            Session& s = S();
            if (!s.app) return;
            // What the commands drew goes to the screen now, not a frame later.
            s.app->WaitMessage(0);
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            RaisePending();
        },
        "Puts what the commands drew on the screen at once (the prompt calls it before it "
        "asks for the next line).");
    m.def(
        "_shutdown",
        [] {
            Session& s = S();
            if (!s.app || std::this_thread::get_id() != s.gui) return 0;
            PyOS_InputHook = nullptr;
            int status = 0;
            // A script that ends without run() (a lesson for Python's turtle without
            // done()) still has its drawings kept where they are asked for, as run()
            // would have kept them.
            if (!s.kept && !s.app->HasDisplay() && !DrawingFolder().isEmpty() && AnyOpen()) {
                try {
                    for (int i = 0; i < 10; ++i)
                        s.app->ProcessMessages();
                    status = KeepShownWindows();
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "Kritzel-Werk: %s\n", e.what());
                    status = 1;
                }
            }
            for (PyTurtle* p : std::set<PyTurtle*>(s.windows))
                p->Destroy();
            s.pending.reset();
            s.anchor.reset();
            s.app.reset();
            return status;
        },
        "Closes every window and ends the application; the interpreter calls it at exit. "
        "Returns 1 when the drawings it was to keep could not all be written, else 0.");

    py::class_<PyTurtle> c(m, "Turtle",
                           (Doc("TTurtle") +
                            "\n\nkritzelwerk.Turtle: a window of its own holding one such control, "
                            "with KeepPicture on: each command draws at once and is drawn again on "
                            "every repaint.")
                               .c_str());
    c.def(py::init<int, int, const std::string&>(), py::arg("width") = 400, py::arg("height") = 400,
          py::arg("title") = "Kritzel-Werk",
          "Opens a window of width x height pixels with the caption title, holding one "
          "turtle that keeps its picture: each command draws at once and is drawn again "
          "whenever the window repaints. After the window was closed, a command raises "
          "kritzelwerk.Error; Turtle() opens a fresh one.");
    c.def_property_readonly("IsOpen", &PyTurtle::Open, "Whether the window is still open.");
    c.def("Close", &PyTurtle::Close, "Closes the window, as the user may.");
    c.def("_focus", &PyTurtle::Focus);

#define KW_CMD0(name)                                                                              \
    c.def(                                                                                         \
        #name, [](PyTurtle& p) { return Command(p, [](TTurtle& t) { return t.name(); }); },        \
        Doc(#name).c_str())
#define KW_CMD1(name, A, a)                                                                        \
    c.def(                                                                                         \
        #name, [](PyTurtle& p, A a) { return Command(p, [&](TTurtle& t) { return t.name(a); }); }, \
        py::arg(#a), Doc(#name).c_str())
#define KW_CMD2(name, A, a, B, b)                                                                  \
    c.def(                                                                                         \
        #name,                                                                                     \
        [](PyTurtle& p, A a, B b) {                                                                \
            return Command(p, [&](TTurtle& t) { return t.name(a, b); });                           \
        },                                                                                         \
        py::arg(#a), py::arg(#b), Doc(#name).c_str())

    KW_CMD1(Forwd, double, x);
    KW_CMD1(Back, double, x);
    KW_CMD0(Clear);
    KW_CMD0(Home);
    KW_CMD1(Left, double, Winkel);
    KW_CMD1(Right, double, Winkel);
    KW_CMD2(SetPosition, double, Xpos, double, Ypos);
    KW_CMD2(GoTo, double, Xpos, double, Ypos);
    KW_CMD1(DrawCircle, double, Radius);
    KW_CMD2(Arc, double, Radius, double, Winkel);
    KW_CMD0(BeginFill);
    KW_CMD0(Stamp);
    KW_CMD0(EscPressed);
    KW_CMD2(Towards, double, Xpos, double, Ypos);
    KW_CMD2(Distance, double, Xpos, double, Ypos);
    KW_CMD0(CopyToClipboard);
    KW_CMD0(Repaint);
    KW_CMD0(PixelPerLE);
    KW_CMD0(DevicePixelPerLE);
    KW_CMD1(SetHeading, double, x);
    KW_CMD1(SetxPosition, double, x);
    KW_CMD1(SetYPosition, double, y);
    KW_CMD1(SetPenWidth, std::int32_t, w);
    KW_CMD1(SetShowTurtle, bool, x);
    KW_CMD1(SetPenState, TPenState, s);
    KW_CMD1(SetAusgabe, TTurtleDevice, Value);
    KW_CMD1(SetKeepPicture, bool, on);
    // kritzelwerk.turtle's moves in its units (a pixel at 96 per inch), called without a
    // Python frame in between while one turtle has the screen.
    c.def(
        "_fd_px",
        [](PyTurtle& p, double d) { Command(p, [&](TTurtle& t) { t.Forwd(d * CmPerPixel); }); },
        py::arg("distance"));
    c.def(
        "_bk_px",
        [](PyTurtle& p, double d) { Command(p, [&](TTurtle& t) { t.Back(d * CmPerPixel); }); },
        py::arg("distance"));
    c.def(
        "_lt", [](PyTurtle& p, double a) { Command(p, [&](TTurtle& t) { t.Left(a); }); },
        py::arg("angle"));
    c.def(
        "_rt", [](PyTurtle& p, double a) { Command(p, [&](TTurtle& t) { t.Right(a); }); },
        py::arg("angle"));
    // The same four moves bound to one turtle, which each holds: a line of a lesson is two
    // of these calls, so they are plain C functions of one argument (BoundMoveCall) and
    // skip pybind11's dispatch, which costs more than the command itself.
    c.def("_bound_moves", [](py::object self) {
        PyTurtle* p = &self.cast<PyTurtle&>();
        py::dict moves;
        // Named and documented as kritzelwerk.turtle's methods they stand in for.
        moves["_fd_px"] = BindMove<&ForwdPx>(
            p, self, "forward",
            "forward(distance, /)\n--\n\nMoves distance units along the heading, drawing "
            "when the pen is down.");
        moves["_bk_px"] = BindMove<&BackPx>(
            p, self, "back",
            "back(distance, /)\n--\n\nMoves distance units backwards; the heading stays.");
        moves["_lt"] = BindMove<&TurnLeft>(
            p, self, "left", "left(angle, /)\n--\n\nTurns angle degrees counter-clockwise.");
        moves["_rt"] = BindMove<&TurnRight>(
            p, self, "right", "right(angle, /)\n--\n\nTurns angle degrees clockwise.");
        return moves;
    });
#undef KW_CMD0
#undef KW_CMD1
#undef KW_CMD2
    c.def(
        "SaveToFile",
        [](PyTurtle& p, const py::object& name) {
            const std::string n = py::str(name);
            Command(p, [&](TTurtle& t) { t.SaveToFile(n); });
        },
        py::arg("Name"), Doc("SaveToFile").c_str());
    c.def(
        "SetFilename",
        [](PyTurtle& p, const std::string& n) {
            Command(p, [&](TTurtle& t) { t.SetFilename(n); });
        },
        Doc("SetFilename").c_str());
    c.def(
        "SetDelay", [](PyTurtle& p, int d) { Command(p, [&](TTurtle& t) { t.setDelay(d); }); },
        Doc("SetDelay").c_str());
    c.def(
        "SetTurtleSize",
        [](PyTurtle& p, int s) { Command(p, [&](TTurtle& t) { t.setTurtleSize(s); }); },
        Doc("SetTurtleSize").c_str());
    c.def(
        "FillCircle",
        [](PyTurtle& p, double r, py::object col) {
            const TColor k = ToColor(col);
            Command(p, [&](TTurtle& t) { t.FillCircle(r, k); });
        },
        py::arg("Radius"), py::arg("BrushColor"), Doc("FillCircle").c_str());
    c.def(
        "FillRectangle",
        [](PyTurtle& p, double a, double b, py::object col) {
            const TColor k = ToColor(col);
            Command(p, [&](TTurtle& t) { t.FillRectangle(a, b, k); });
        },
        py::arg("a"), py::arg("b"), py::arg("BrushColor"), Doc("FillRectangle").c_str());
    c.def(
        "EndFill",
        [](PyTurtle& p, py::object col) {
            const TColor k = ToColor(col);
            Command(p, [&](TTurtle& t) { t.EndFill(k); });
        },
        py::arg("BrushColor"), Doc("EndFill").c_str());
    c.def(
        "Dot",
        [](PyTurtle& p, double size, py::object col) {
            if (col.is_none()) return Command(p, [&](TTurtle& t) { t.Dot(size); });
            const TColor k = ToColor(col);
            Command(p, [&](TTurtle& t) { t.Dot(size, k); });
        },
        py::arg("Size"), py::arg("Farbe") = py::none(),
        (Doc("Dot") + "\n\nWithout Farbe: in PenColor.").c_str());
    c.def(
        "DrawStringPos",
        [](PyTurtle& p, double x, double y, const std::string& s, const std::string& font,
           std::int32_t size, py::object col) {
            const TColor k = ToColor(col);
            Command(p, [&](TTurtle& t) { t.DrawStringPos(x, y, s, font, size, k); });
        },
        py::arg("Xpos"), py::arg("Ypos"), py::arg("S"), py::arg("SchriftName") = "DejaVu Sans",
        py::arg("Schriftgroesse") = 12, py::arg("Schriftfarbe") = 0, Doc("DrawStringPos").c_str());
    c.def(
        "DrawStringCent",
        [](PyTurtle& p, double y, const std::string& s, const std::string& font, std::int32_t size,
           py::object col) {
            const TColor k = ToColor(col);
            Command(p, [&](TTurtle& t) { t.DrawStringCent(y, s, font, size, k); });
        },
        py::arg("Ypos"), py::arg("S"), py::arg("SchriftName") = "DejaVu Sans",
        py::arg("Schriftgroesse") = 12, py::arg("Schriftfarbe") = 0, Doc("DrawStringCent").c_str());
    c.def(
        "SelectColor",
        [](PyTurtle& p, py::object c1, py::object c2, std::int32_t nr, std::int32_t max) {
            const TColor a = ToColor(c1), b = ToColor(c2);
            return Command(p, [&](TTurtle& t) { return t.SelectColor(a, b, nr, max); });
        },
        py::arg("Farbe1"), py::arg("Farbe2"), py::arg("Nr"), py::arg("MaxNr"),
        Doc("SelectColor").c_str());
    for (const char* name : {"SetPenColor", "SetTurtleColor", "SetBackColor"}) {
        const std::string n = name;
        c.def(
            name,
            [n](PyTurtle& p, py::object col) {
                const TColor k = ToColor(col);
                Command(p, [&](TTurtle& t) {
                    if (n == "SetPenColor")
                        t.SetPenColor(k);
                    else if (n == "SetTurtleColor")
                        t.SetTurtleColor(k);
                    else
                        t.SetBackColor(k);
                });
            },
            py::arg("Color"), Doc(name).c_str());
    }

    // The properties, read and set as in C++.
    auto colour = [&](const char* name, TColor (TTurtle::*get)() const,
                      void (TTurtle::*set)(TColor), const char* setter) {
        c.def_property(
            name, [get](PyTurtle& p) { return Command(p, [&](TTurtle& t) { return (t.*get)(); }); },
            [set](PyTurtle& p, py::object col) {
                const TColor k = ToColor(col);
                Command(p, [&](TTurtle& t) { (t.*set)(k); });
            },
            (PropertyDoc(name, setter) +
             "\nA colour is a number 0x00bbggrr (red in the lowest byte, as RGB() makes "
             "it), a Qt colour name such as \"red\", or \"#rrggbb\"; reading gives the number.")
                .c_str());
    };
    colour("PenColor", &TTurtle::PenColor, &TTurtle::SetPenColor, "SetPenColor");
    colour("TurtleColor", &TTurtle::TurtleColor, &TTurtle::SetTurtleColor, "SetTurtleColor");
    colour("BackColor", &TTurtle::BackColor, &TTurtle::SetBackColor, "SetBackColor");
#define KW_PROP(name, Type, getExpr, setExpr, setter)                                              \
    c.def_property(                                                                                \
        #name, [](PyTurtle& p) { return Command(p, [&](TTurtle& t) { return getExpr; }); },        \
        [](PyTurtle& p, Type v) { Command(p, [&](TTurtle& t) { setExpr; }); },                     \
        PropertyDoc(#name, setter).c_str())
    KW_PROP(PenWidth, std::int32_t, t.PenWidth(), t.SetPenWidth(v), "SetPenWidth");
    KW_PROP(PenState, TPenState, t.PenState(), t.SetPenState(v), "SetPenState");
    KW_PROP(Heading, double, t.Heading(), t.SetHeading(v), "SetHeading");
    KW_PROP(x, double, t.x(), t.SetxPosition(v), "SetxPosition");
    KW_PROP(y, double, t.y(), t.SetYPosition(v), "SetYPosition");
    KW_PROP(Delay, int, int(t.Delay()), t.setDelay(v), "SetDelay");
    KW_PROP(Showing, bool, t.Showing(), t.SetShowTurtle(v), "SetShowTurtle");
    KW_PROP(TurtleSize, int, int(t.TurtleSize()), t.setTurtleSize(v), "SetTurtleSize");
    KW_PROP(Device, TTurtleDevice, t.Device(), t.SetAusgabe(v), "SetAusgabe");
    KW_PROP(FileName, std::string, t.FileName(), t.SetFilename(v), "SetFilename");
    KW_PROP(KeepPicture, bool, t.KeepPicture(), t.SetKeepPicture(v), "SetKeepPicture");
#undef KW_PROP
    for (const char* name : {"MinX", "MaxX", "MinY", "MaxY"}) {
        const std::string n = name;
        c.def_property_readonly(
            name,
            [n](PyTurtle& p) {
                return Command(p, [&](TTurtle& t) {
                    return n == "MinX"   ? t.MinX()
                           : n == "MaxX" ? t.MaxX()
                           : n == "MinY" ? t.MinY()
                                         : t.MaxY();
                });
            },
            Doc(name).c_str());
    }

    // The handlers: a Python function (or None), called from the drawing.
    c.def_property(
        "OnStartPaint", [](PyTurtle& p) { return p.startPaint; },
        [](PyTurtle& p, py::object f) {
            TTurtle& t = p.T();
            t.SetOnStartPaint(f.is_none() ? TStartPaint() : TStartPaint(Handler(f)));
            p.startPaint = f;
            t.Invalidate();
        },
        (PropertyDoc("OnStartPaint", "SetOnStartPaint") +
         "\nIn Python: a function without arguments, or None; setting it repaints.")
            .c_str());
    c.def_property(
        "OnClick", [](PyTurtle& p) { return p.click; },
        [](PyTurtle& p, py::object f) {
            TTurtle& t = p.T();
            if (f.is_none())
                t.SetOnClick({});
            else
                t.SetOnClick(Handler(f));
            p.click = f;
        },
        (Doc("SetOnClick") + "\nIn Python: a function f(x, y), or None.").c_str());
    c.def_property(
        "OnKeyPress", [](PyTurtle& p) { return p.key; },
        [](PyTurtle& p, py::object f) {
            TTurtle& t = p.T();
            if (f.is_none())
                t.SetOnKeyPress({});
            else
                t.SetOnKeyPress(Handler(f));
            p.key = f;
        },
        (Doc("SetOnKeyPress") + "\nIn Python: a function f(key), or None.").c_str());
}
