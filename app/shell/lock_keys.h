// The state of the Caps Lock, Num Lock and Scroll Lock keys, read from the
// keyboard LEDs the kernel exposes (/sys/class/leds/*::capslock and so on).
// Where no such LED exists the state is unknown and the status bar leaves
// its indicator out.
#pragma once

#include <QString>
#include <optional>

struct LockKeyState {
    std::optional<bool> caps;
    std::optional<bool> num;
    std::optional<bool> scroll;
};

// Any LED of a kind that is lit counts as on.
LockKeyState ReadLockKeys(const QString& leds_directory = QStringLiteral("/sys/class/leds"));
