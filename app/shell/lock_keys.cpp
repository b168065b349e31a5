#include "shell/lock_keys.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#ifdef KV_HAVE_XKB
// After Qt's headers: Xlib's macros (None, Bool, Status) would clash.
#include <X11/XKBlib.h>
#endif

namespace {

void Merge(std::optional<bool>& state, const QString& led_dir) {
    QFile f(led_dir + QStringLiteral("/brightness"));
    if (!f.open(QIODevice::ReadOnly)) return;
    const bool lit = f.readAll().trimmed().toInt() > 0;
    state = state.value_or(false) || lit;
}

}  // namespace

LockKeyState ReadLockKeys(const QString& leds_directory) {
    LockKeyState state;
    const QDir dir(leds_directory);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        const QString path = dir.filePath(name);
        if (name.endsWith(QLatin1String("::capslock")))
            Merge(state.caps, path);
        else if (name.endsWith(QLatin1String("::numlock")))
            Merge(state.num, path);
        else if (name.endsWith(QLatin1String("::scrolllock")))
            Merge(state.scroll, path);
    }
    return state;
}

LockKeyState ReadLockKeysFromXkb() {
    LockKeyState state;
#ifdef KV_HAVE_XKB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (display == nullptr) return state;
    auto read = [display](const char* name) -> std::optional<bool> {
        // The server names its indicators; a name it does not know is no key.
        const Atom atom = XInternAtom(display, name, True);
        if (atom == None) return std::nullopt;
        int index = 0;
        Bool on = False;
        if (!XkbGetNamedIndicator(display, atom, &index, &on, nullptr, nullptr)) return std::nullopt;
        return on != False;
    };
    state.caps = read("Caps Lock");
    state.num = read("Num Lock");
    state.scroll = read("Scroll Lock");
#endif
    return state;
}

LockKeyState MergeLockKeys(const LockKeyState& first, const LockKeyState& second) {
    return {first.caps ? first.caps : second.caps, first.num ? first.num : second.num,
            first.scroll ? first.scroll : second.scroll};
}

LockKeyState CurrentLockKeys() { return MergeLockKeys(ReadLockKeys(), ReadLockKeysFromXkb()); }
