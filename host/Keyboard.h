// The asynchronous key state: which keys are down, and which were pressed since asked.
#pragma once

#include "Export.h"

#include <bitset>
#include <cstdint>

namespace kritzel {

/// Key code of Backspace.
constexpr int VK_BACK = 0x08;
/// Key code of Tab.
constexpr int VK_TAB = 0x09;
/// Key code of Return (Enter).
constexpr int VK_RETURN = 0x0D;
/// Key code of Shift.
constexpr int VK_SHIFT = 0x10;
/// Key code of Ctrl.
constexpr int VK_CONTROL = 0x11;
/// Key code of Alt.
constexpr int VK_MENU = 0x12;
/// Key code of Pause; `EscPressed` asks it too.
constexpr int VK_PAUSE = 0x13;
/// Key code of Escape.
constexpr int VK_ESCAPE = 0x1B;
/// Key code of the space bar.
constexpr int VK_SPACE = 0x20;
/// Key code of the left arrow.
constexpr int VK_LEFT = 0x25;
/// Key code of the up arrow.
constexpr int VK_UP = 0x26;
/// Key code of the right arrow.
constexpr int VK_RIGHT = 0x27;
/// Key code of the down arrow.
constexpr int VK_DOWN = 0x28;
/// Key code of Delete.
constexpr int VK_DELETE = 0x2E;
/// Key code of F1.
constexpr int VK_F1 = 0x70;

/// Answers GetAsyncKeyState; tests put a scripted one in.
class KRITZELWERK_EXPORT TKeyboard {
public:
    virtual ~TKeyboard() = default;
    /// Bit 15 while the key is held,
    /// bit 0 for a press since the last query of that key.
    virtual std::int16_t AsyncKeyState(int vk) = 0;
    /// How often the key was pressed so far; asking changes nothing.
    /// A keyboard that does not count answers 0.
    virtual std::uint32_t PressCount(int vk) {
        (void)vk;
        return 0;
    }
    /// Forgets a press made since the last query, as if it had been asked for;
    /// a key held down stays held. A keyboard that does not track presses ignores this.
    virtual void ForgetPress(int vk) { (void)vk; }
};

/// The application-wide tracker, fed from the key events of every window.
class KRITZELWERK_EXPORT TKeyTracker : public TKeyboard {
public:
    /// A key went down.
    void KeyDown(int vk);
    /// A key went up.
    void KeyUp(int vk);
    /// Forgets held keys, as when the application loses the keyboard.
    void ReleaseAll() { held_.reset(); }
    std::int16_t AsyncKeyState(int vk) override;
    std::uint32_t PressCount(int vk) override;
    void ForgetPress(int vk) override;

private:
    std::bitset<256> held_;
    std::bitset<256> pressed_;
    std::uint32_t presses_[256] = {};
};

/// The virtual-key code of a Qt key, or 0 for keys without one.
KRITZELWERK_EXPORT int VirtualKeyFromQt(int qtKey);

/// The state of key vk (e.g. `VK_ESCAPE`): bit 15 while it is held,
/// bit 0 for a press since the last question about it.
KRITZELWERK_EXPORT std::int16_t GetAsyncKeyState(int vk);
/// Presses of the key so far, without taking the press from GetAsyncKeyState.
KRITZELWERK_EXPORT std::uint32_t KeyPressCount(int vk);
/// Forgets a press of the key since the last query.
KRITZELWERK_EXPORT void ForgetKeyPress(int vk);
/// The key state as one reader sees it,
/// so that one control's question cannot take a press from another:
/// bit 15 while the key is held,
/// bit 0 when the key was pressed more often than `seen` says,
/// which is then brought up to date.
/// A keyboard that does not count presses answers with its own state.
KRITZELWERK_EXPORT std::int16_t AsyncKeyStateSince(int vk, std::uint32_t& seen);

} // namespace kritzel
