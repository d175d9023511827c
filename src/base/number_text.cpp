// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/number_text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/shown_text.h"

namespace orvane {

namespace {

std::string Shown(const std::string& text) { return "\"" + EscapeControls(text) + "\""; }

std::string RealText(double v) {
    return fmt::format("{:g}", v);
}

}  // namespace

long long ParseWholeNumber(const std::string& text, long long low, long long high,
                           const std::string& what) {
    const std::string t = TrimmedText(text);
    const std::string range = std::to_string(low) + " to " + std::to_string(high);
    bool digits = !t.empty();
    for (size_t i = 0; i < t.size(); ++i)
        if (!(t[i] >= '0' && t[i] <= '9') && !(i == 0 && (t[i] == '-' || t[i] == '+')))
            digits = false;
    if (!digits || t == "-" || t == "+")
        throw OrvaneError(what + " must be a whole number from " + range + "; " + Shown(text) +
                          " is not one.");
    errno = 0;
    const long long v = std::strtoll(t.c_str(), nullptr, 10);
    if (errno == ERANGE || v < low || v > high)
        throw OrvaneError(what + " must be a whole number from " + range + "; " + Shown(text) +
                          " is out of range.");
    return v;
}

int ParseInt(const std::string& text, int low, int high, const std::string& what) {
    return static_cast<int>(ParseWholeNumber(text, low, high, what));
}

double ParseReal(const std::string& text, double low, double high, const std::string& what) {
    const std::string t = TrimmedText(text);
    const std::string range = RealText(low) + " to " + RealText(high);
    char* end = nullptr;
    const double v = t.empty() ? 0.0 : std::strtod(t.c_str(), &end);
    // Hexadecimal, "inf" and "nan" spellings are not numbers a person types into a field.
    const bool plain = !t.empty() && t.find_first_of("xXnN") == std::string::npos;
    if (!plain || end != t.c_str() + t.size() || !std::isfinite(v))
        throw OrvaneError(what + " must be a number from " + range + "; " + Shown(text) +
                          " is not one.");
    if (v < low || v > high)
        throw OrvaneError(what + " must be a number from " + range + "; " + Shown(text) +
                          " is out of range.");
    return v;
}

NumberPair ParseIntRange(const std::string& text, int low, int high, const std::string& what) {
    // The dash after the first character, so that a leading minus sign stays the number's.
    const size_t start = text.find_first_not_of(" \t");
    const size_t dash = start == std::string::npos ? std::string::npos : text.find('-', start + 1);
    if (dash == std::string::npos)
        throw OrvaneError(what + " is written LOWER-UPPER, e.g. 1350-1450; " + Shown(text) +
                          " is not one.");
    NumberPair pair;
    pair.first = ParseInt(text.substr(0, dash), low, high, what + " (lower)");
    pair.second = ParseInt(text.substr(dash + 1), low, high, what + " (upper)");
    return pair;
}

std::string PlainNumber(double value) {
    // Fixed notation without a precision is the shortest that round-trips; 330 characters hold
    // the longest double (about 1e308 or 4.9e-324 written out).
    char text[400];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, r.ptr);
}

int ScientificNumber(double value, char* out) {
    // to_chars rounds exactly, ties to even, as glibc's printf does; only the case differs.
    const std::to_chars_result r =
        std::to_chars(out, out + kScientificChars, value, std::chars_format::scientific, 14);
    for (char* c = out; c != r.ptr; ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    return static_cast<int>(r.ptr - out);
}

std::string ScientificNumber(double value) {
    char text[kScientificChars];
    return std::string(text, static_cast<size_t>(ScientificNumber(value, text)));
}

}  // namespace orvane
