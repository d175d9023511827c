// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

// The largest wavelength, in nanometres, that a user may type where the program takes one
// (filter ranges, feature-space ranges, configured filter entries).
constexpr int kMaxTypedWavelength = 100000;

// Every number a user types (an option, a dialog field, a configuration value) is read here:
// the whole text must be the number, and it must lie in [low, high]. A refusal throws
// OrvaneError naming `what` (the option or key), the text and the allowed range, so that a
// value is never wrapped, truncated or silently replaced by a default.
long long ParseWholeNumber(const std::string& text, long long low, long long high,
                           const std::string& what);
int ParseInt(const std::string& text, int low, int high, const std::string& what);
double ParseReal(const std::string& text, double low, double high, const std::string& what);

// "LOWER-UPPER" (blanks allowed around the dash), each part a whole number in [low, high].
struct NumberPair {
    int first = 0;
    int second = 0;
};
NumberPair ParseIntRange(const std::string& text, int low, int high, const std::string& what);

// The shortest decimal without an exponent that reads back as exactly `value` ("442.7",
// "0.0000032", "-5"); "nan", "inf" or "-inf" for a value that is not finite.
std::string PlainNumber(double value);

// The longest text ScientificNumber writes ("-1.23456789012345E-308"), with room to spare.
constexpr int kScientificChars = 32;
// `value` exactly as C's "%.14E" writes it ("4.42700000000000E+02", "NAN", "-INF"), into `out`
// (kScientificChars bytes, not terminated); returns the length. Result files hold millions of
// numbers, and printf spends several times as long on each.
int ScientificNumber(double value, char* out);
std::string ScientificNumber(double value);

}  // namespace orvane
