#include "shell/lock_keys.h"

#include <QDir>
#include <QFile>

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
