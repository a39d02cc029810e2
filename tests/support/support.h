// Replaceable services and helpers shared by the test suites.
#pragma once

#include <kritzelwerk/Turtle.h>

#include "host/internal/Services.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace kritzel::test {

// A clock the test sets; it can start near the 32-bit wrap.
class FakeClock : public TClock {
public:
    explicit FakeClock(std::uint32_t start = 0) : now(start) {}
    std::uint32_t Ticks() override {
        ++reads;
        return now;
    }
    std::uint32_t now;
    int reads = 0;
};

// Counts what the component asks of the pump. A paced wait "sleeps" by moving the
// fake clock on, so delayed drawings run at once and deterministically.
class CountingPump : public TMessagePump {
public:
    // A wait moves the clock by what it asks, but at most maxStep at a time, so that
    // handlers get their turn during a long delay.
    explicit CountingPump(FakeClock* clock = nullptr, std::uint32_t maxStep = 5)
        : clock_(clock), maxStep_(maxStep) {}
    void ProcessMessages() override {
        ++processed;
        if (onProcess) onProcess();
    }
    void WaitMessage(std::uint32_t timeoutMs) override {
        ++waits;
        lastTimeout = timeoutMs;
        if (clock_) clock_->now += timeoutMs < maxStep_ ? timeoutMs : maxStep_;
    }
    int processed = 0;
    int waits = 0;
    std::uint32_t lastTimeout = 0;
    std::function<void()> onProcess;

private:
    FakeClock* clock_;
    std::uint32_t maxStep_;
};

// Puts a clock, a pump and a keyboard into the host's services for one test (null for
// the real one) and puts back what was there before.
class ServicesScope {
public:
    ServicesScope(TClock* clock, TMessagePump* pump, TKeyboard* keyboard = nullptr)
        : kept_(Services::Current()) {
        Services& services = Services::Current();
        services.clock = clock;
        services.pump = pump ? pump : kept_.ownPump;
        services.keyboard = keyboard ? keyboard : kept_.keys;
    }
    ~ServicesScope() {
        Services& services = Services::Current();
        services.clock = kept_.clock;
        services.pump = kept_.pump;
        services.keyboard = kept_.keyboard;
    }
    ServicesScope(const ServicesScope&) = delete;
    ServicesScope& operator=(const ServicesScope&) = delete;
    // Another keyboard for the rest of the scope; null for the real one.
    void SetKeyboard(TKeyboard* keyboard) {
        Services::Current().keyboard = keyboard ? keyboard : kept_.keys;
    }

private:
    Services kept_;
};

// How many paced waits the command made, read from the fake clock of a CountingPump: a
// wait returns once more than the turtle's Delay has passed, so each one moves the clock
// on by Delay + 1 ms.
template <class Command>
std::uint32_t PacedWaits(const TTurtle& turtle, const FakeClock& clock, Command&& command) {
    const std::uint32_t perWait = turtle.Delay() + 1u;
    const std::uint32_t before = clock.now;
    command();
    return (clock.now - before) / perWait;
}

// The application's key tracker, fed from the windows' key events.
inline TKeyTracker& KeyTracker() {
    Application();
    return *Services::Current().keys;
}

// The application's own pump, for a replacement that wants to count and still deliver.
inline void DefaultProcessMessages() {
    Application();
    Services::Current().ownPump->ProcessMessages();
}

// A fixed screen resolution for one test.
class PixelsPerInchScope {
public:
    explicit PixelsPerInchScope(int ppi) { Screen().SetPixelsPerInch(ppi); }
    ~PixelsPerInchScope() { Screen().ResetPixelsPerInch(); }
};

// A turtle painted once, as on a shown form, so that its commands draw at once; with
// Sprite::Hidden its sprite is out of the pictures.
enum class Sprite { Shown, Hidden };
struct Painted : TTurtle {
    explicit Painted(Sprite sprite = Sprite::Shown) {
        Repaint();
        if (sprite == Sprite::Hidden) SetShowTurtle(false);
    }
};

// Number of pixels that differ between two pictures of the same size.
int DifferingPixels(const QImage& a, const QImage& b);
// Number of pixels of exactly this colour.
int CountColor(const QImage& image, TColor color);

// Where a test may leave files for a developer to look at.
std::string OutputDir();

// A file's contents; empty when it cannot be read.
QByteArray ReadFile(const QString& path);

// Whether every skip counts as a failure (KRITZEL_REQUIRE_ALL=1), as where the install
// script has brought everything the suite needs.
bool RequireAll();
// Why a test that needs the program cannot run ("... is missing: install <package>"), or
// empty when the program is on the PATH.
std::string MissingTool(const char* program, const char* package);

// As root every folder is writable; checks on the file system are then made as an
// ordinary user (nobody) for the life of this object.
class AsOrdinaryUser {
public:
    AsOrdinaryUser();
    ~AsOrdinaryUser();
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool root_;
};

} // namespace kritzel::test

// Skips the running test when the reason is not empty, or fails it where every skip counts.
// The reason says what is missing and how to get it.
#define SKIP_OR_FAIL_IF(reason)                                                                    \
    do {                                                                                           \
        const std::string skipOrFailWhy = (reason);                                                \
        if (!skipOrFailWhy.empty()) {                                                              \
            if (::kritzel::test::RequireAll()) FAIL() << skipOrFailWhy;                            \
            GTEST_SKIP() << skipOrFailWhy;                                                         \
        }                                                                                          \
    } while (0)
