// The state of the Caps Lock, Num Lock and Scroll Lock keys, for the status
// bar's CAP, NUM and SCRL panes: from the keyboard LEDs the kernel exposes
// (/sys/class/leds/*::capslock and so on) and, on an X11 desktop, from the
// X server's keyboard extension (XKB). A key whose state neither tells is
// unknown, and the status bar leaves its pane out.
#pragma once

#include <QString>
#include <optional>

struct LockKeyState {
    std::optional<bool> caps;
    std::optional<bool> num;
    std::optional<bool> scroll;
};

// From the LEDs: any LED of a kind that is lit counts as on.
LockKeyState ReadLockKeys(const QString& leds_directory = QStringLiteral("/sys/class/leds"));

// From XKB's named indicators, when the program runs on X11; every key
// unknown elsewhere.
LockKeyState ReadLockKeysFromXkb();

// Each key from `first` where it is known there, else from `second`.
LockKeyState MergeLockKeys(const LockKeyState& first, const LockKeyState& second);

// What the status bar shows: the LEDs, else XKB.
LockKeyState CurrentLockKeys();
