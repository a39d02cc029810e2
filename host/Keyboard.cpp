#include "Keyboard.h"

#include "Exceptions.h"
#include "internal/Services.h"

#include <Qt>

namespace kritzel {

void TKeyTracker::KeyDown(int vk) {
    if (vk <= 0 || vk > 255) return;
    held_.set(size_t(vk));
    pressed_.set(size_t(vk));
    ++presses_[vk];
}

void TKeyTracker::KeyUp(int vk) {
    if (vk <= 0 || vk > 255) return;
    held_.reset(size_t(vk));
}

std::int16_t TKeyTracker::AsyncKeyState(int vk) {
    if (vk <= 0 || vk > 255) return 0;
    std::uint16_t state = 0;
    if (held_.test(size_t(vk))) state |= 0x8000;
    if (pressed_.test(size_t(vk))) state |= 0x0001;
    pressed_.reset(size_t(vk));
    return static_cast<std::int16_t>(state);
}

std::uint32_t TKeyTracker::PressCount(int vk) {
    return vk > 0 && vk <= 255 ? presses_[vk] : 0;
}

void TKeyTracker::ForgetPress(int vk) {
    if (vk > 0 && vk <= 255) pressed_.reset(size_t(vk));
}

int VirtualKeyFromQt(int k) {
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return '0' + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return VK_F1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Pause:
        return VK_PAUSE;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

namespace {
// The keyboard in use: the application's key tracker, or one a test has put in.
TKeyboard& Keys() {
    CheckGuiThread();
    TKeyboard* keyboard = Services::Current().keyboard;
    if (!keyboard)
        throw EKritzelwerk("Kritzel-Werk needs a running TApplication; create one first");
    return *keyboard;
}
} // namespace

std::int16_t GetAsyncKeyState(int vk) {
    return Keys().AsyncKeyState(vk);
}

std::uint32_t KeyPressCount(int vk) {
    return Keys().PressCount(vk);
}

void ForgetKeyPress(int vk) {
    Keys().ForgetPress(vk);
}

std::int16_t AsyncKeyStateSince(int vk, std::uint32_t& seen) {
    TKeyboard& keyboard = Keys();
    const std::int16_t state = keyboard.AsyncKeyState(vk);
    const std::uint32_t count = keyboard.PressCount(vk);
    if (count == 0) return state;
    std::uint16_t mine = static_cast<std::uint16_t>(state) & 0x8000;
    if (count != seen) mine |= 0x0001;
    seen = count;
    return static_cast<std::int16_t>(mine);
}

} // namespace kritzel
