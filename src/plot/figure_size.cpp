// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/figure_size.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>

#include "base/orvane_error.h"

namespace orvane {

namespace {
constexpr double kMmPerInch = 25.4;
constexpr int kMinLayoutWidth = 200;
constexpr int kMinLayoutHeight = 150;

int Round(double v) { return static_cast<int>(std::lround(v)); }

std::string Number(double v) {
    // Whole sizes print without decimals, others with what they need.
    return v == std::floor(v) ? fmt::format("{:.0f}", v) : fmt::format("{:g}", v);
}
}  // namespace

FigureSize FigureSize::Pixels(int width, int height, int dpi) {
    FigureSize size;
    size.width = width;
    size.height = height;
    size.unit = kPixels;
    size.dpi = dpi;
    return size;
}

int FigureSize::PixelWidth() const {
    return Round(unit == kPixels ? width : width / kMmPerInch * dpi);
}

int FigureSize::PixelHeight() const {
    return Round(unit == kPixels ? height : height / kMmPerInch * dpi);
}

FigureSize FigureSize::In(Unit other) const {
    if (other == unit) return *this;
    FigureSize converted = *this;
    const double factor = other == kMillimetres ? kMmPerInch / dpi : dpi / kMmPerInch;
    converted.width = width * factor;
    converted.height = height * factor;
    converted.unit = other;
    return converted;
}

int FigureSize::LayoutWidth() const { return Round(PixelWidth() / Scale()); }

int FigureSize::LayoutHeight() const { return Round(PixelHeight() / Scale()); }

std::string FigureSize::SvgSizeAttributes() const {
    if (unit == kMillimetres)
        return "width=\"" + Number(width) + "mm\" height=\"" + Number(height) + "mm\"";
    return fmt::format("width=\"{}\" height=\"{}\"", LayoutWidth(), LayoutHeight());
}

std::string FigureSize::Text() const {
    return Number(width) + "x" + Number(height) + (unit == kMillimetres ? "mm" : "px");
}

void FigureSize::Check() const {
    if (!(width > 0.0) || !(height > 0.0) || !std::isfinite(width) || !std::isfinite(height))
        throw OrvaneError("A figure's width and height must be above zero; got " + Text() + ".");
    if (dpi < kMinDpi || dpi > kMaxDpi)
        throw OrvaneError(
            fmt::format("A figure's resolution must lie between {} and {} dpi; got {}.", kMinDpi,
                        kMaxDpi, dpi));
    if (PixelWidth() > kMaxPixels || PixelHeight() > kMaxPixels)
        throw OrvaneError(fmt::format(
            "A figure of {} at {} dpi would be {} x {} pixels; at most {} pixels a side are "
            "written.",
            Text(), dpi, PixelWidth(), PixelHeight(), kMaxPixels));
    if (LayoutWidth() < kMinLayoutWidth || LayoutHeight() < kMinLayoutHeight)
        throw OrvaneError(fmt::format(
            "A figure of {} at {} dpi is too small to lay out: it needs at least {} x {} pixels "
            "at 96 dpi ({:.0f} x {:.0f} mm).",
            Text(), dpi, kMinLayoutWidth, kMinLayoutHeight, kMinLayoutWidth * kMmPerInch / 96,
            kMinLayoutHeight * kMmPerInch / 96));
}

FigureSize ParseFigureSize(const std::string& text, int dpi) {
    const std::string forms = "\"" + text +
                              "\" is not a figure size; give WIDTHxHEIGHT in pixels or "
                              "millimetres, e.g. 960x600, 960x600px or 160x100mm.";
    FigureSize size;
    size.dpi = dpi;
    std::string body = text;
    auto ends_with = [&](const char* suffix) {
        const std::string s(suffix);
        if (body.size() <= s.size() || body.compare(body.size() - s.size(), s.size(), s) != 0)
            return false;
        body.erase(body.size() - s.size());
        return true;
    };
    if (ends_with("mm"))
        size.unit = FigureSize::kMillimetres;
    else
        ends_with("px");
    const size_t x = body.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= body.size()) throw OrvaneError(forms);
    auto number = [&](const std::string& word) {
        // Digits and at most one point: no signs, exponents or spaces.
        if (word.find_first_not_of("0123456789.") != std::string::npos ||
            word.find('.') != word.rfind('.') || word == ".")
            throw OrvaneError(forms);
        return std::strtod(word.c_str(), nullptr);
    };
    size.width = number(body.substr(0, x));
    size.height = number(body.substr(x + 1));
    size.Check();
    return size;
}

}  // namespace orvane
