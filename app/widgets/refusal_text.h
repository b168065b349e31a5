// Where a refusal of window-free code (kvcore::Refusal) becomes the windows'
// text: the one place that turns the place and the reason into the QString
// a window shows or hands back through its `QString* why`.
#pragma once

#include <QString>
#include <optional>

#include <kvcore/refusal.h>

// "out3.gain: out of range (-15.0 dB to +15.0 dB)", or the reason alone.
inline QString RefusalText(const kvcore::Refusal& refusal) { return QString::fromStdString(refusal.Message()); }

// The reason alone, for a sentence that names the place itself.
inline QString RefusalReason(const kvcore::Refusal& refusal) { return QString::fromStdString(refusal.reason); }

// False, with the refusal's text (after `prefix`, when given) in *why, when
// there is a refusal; true otherwise.
inline bool Accepted(const std::optional<kvcore::Refusal>& refusal, QString* why, const QString& prefix = {}) {
    if (!refusal) return true;
    if (why) *why = prefix.isEmpty() ? RefusalText(*refusal) : prefix + RefusalText(*refusal);
    return false;
}
