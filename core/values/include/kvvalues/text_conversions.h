// Texts the user sees for stored indices and steps, and typed text back to
// indices and steps as the windows' edits read it (truncated and limited:
// see units.h for why settings written as text take the nearest step).
// Independent of the process locale: "1.5" is read as one and a half and
// numbers are shown with a decimal point under any locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvvalues {

// Which editor a typed frequency is meant for: the EQ editor keeps to real
// rows 1..200, the crossover editor may switch the filter out (rows 0, 201).
enum class FreqMode { Eq, Xover };

// The leading decimal number of the text (leading white space and a sign
// allowed); a "k" or "K" anywhere after the first character multiplies it by
// 1000. Text that does not begin with a number gives 0; so does "nan".
double ParseTypedNumber(std::string_view text);
// The same reading, or nothing when the text does not begin with a number
// (after white space and a sign: a digit, or a point and a digit). Edits use
// it to refuse words ("abc", "inf", "nan") rather than read them as 0.
std::optional<double> TypedNumber(std::string_view text);

// Typed frequency to a frequency row: mode Eq gives 1..200, mode Xover 0..201
// (below 10 Hz row 0 "Out", above 16 kHz row 201 "Out"). Otherwise the row of
// the next table frequency at or above the typed one.
int FreqIndexFromText(std::string_view text, FreqMode mode);

int WidthFromText(std::string_view text);       // EQ width index 0..59
int GainFromText(std::string_view text);        // EQ gain index 0..60
int DelayStepsFromText(std::string_view text);  // typed ms -> steps 0..30500
// Typed dB (output gain) or dBu (limiter threshold) to 0.2 dB steps,
// truncated toward zero and limited to lo..hi.
int LevelStepsFromText(std::string_view text, int lo, int hi);

std::string FormatEqGain(int index);   // "-0.5 dB"
std::string FormatEqWidth(int index);  // "0.50 Oct"
std::string FormatDelay(int steps);    // "635.417 ms"
std::string FormatLevel(int steps);    // output gain, 0.2 dB steps: "+3.0 dB"
std::string FormatLimit(int steps);    // limiter threshold: "-4.2 dBu"

}  // namespace kvvalues
