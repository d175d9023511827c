// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/spectra_plot_svg.h"

#include <cmath>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/text_file.h"

namespace orvane {

namespace {

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                // Control characters other than tab and line ends are not allowed in XML.
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    out += ' ';
                else
                    out += c;
        }
    }
    return out;
}

std::string Num(double v) { return fmt::format("{:.2f}", v); }

std::string TickText(double v, double step) {
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return fmt::format("{:.{}f}", std::fabs(v) < step * 1e-9 ? 0.0 : v, decimals);
}

struct Frame {
    double left, top, width, height;
    double xmin, xmax, ymin, ymax;
    double X(double x) const { return left + (x - xmin) / (xmax - xmin) * width; }
    double Y(double y) const { return top + height - (y - ymin) / (ymax - ymin) * height; }
};

// Runs of consecutive finite points of a curve, as index ranges [first, last].
std::vector<std::pair<size_t, size_t>> Runs(const std::vector<double>& x,
                                            const std::vector<double>& y) {
    std::vector<std::pair<size_t, size_t>> runs;
    bool open = false;
    for (size_t i = 0; i < x.size(); ++i) {
        const bool ok = std::isfinite(x[i]) && std::isfinite(y[i]);
        if (ok && !open) runs.emplace_back(i, i);
        if (ok) runs.back().second = i;
        open = ok;
    }
    return runs;
}

std::string LinePath(const Frame& f, const PlotCurve& c) {
    std::string d;
    for (const auto& [first, last] : Runs(c.x, c.y)) {
        d += "M" + Num(f.X(c.x[first])) + " " + Num(f.Y(c.y[first]));
        // A lone point still shows: a zero-length segment with round caps is a dot.
        if (first == last) d += "h0.01";
        for (size_t i = first + 1; i <= last; ++i)
            d += "L" + Num(f.X(c.x[i])) + " " + Num(f.Y(c.y[i]));
    }
    return d;
}

std::string BandPath(const Frame& f, const PlotCurve& c) {
    std::string d;
    std::vector<double> both(c.x.size());
    for (size_t i = 0; i < both.size(); ++i) both[i] = c.lower[i] + c.upper[i];
    for (const auto& [first, last] : Runs(c.x, both)) {
        d += "M" + Num(f.X(c.x[first])) + " " + Num(f.Y(c.upper[first]));
        for (size_t i = first + 1; i <= last; ++i)
            d += "L" + Num(f.X(c.x[i])) + " " + Num(f.Y(c.upper[i]));
        for (size_t i = last + 1; i-- > first;)
            d += "L" + Num(f.X(c.x[i])) + " " + Num(f.Y(c.lower[i]));
        d += "Z";
    }
    return d;
}

}  // namespace

std::vector<double> NiceTicks(double lo, double hi, int target) {
    std::vector<double> ticks;
    if (!(hi > lo) || target < 1) return ticks;
    const double raw = (hi - lo) / target;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    // The round step nearest to the wanted one on a log scale.
    double step = power;
    for (double m : {2.0, 5.0, 10.0})
        if (std::fabs(std::log(m * power / raw)) < std::fabs(std::log(step / raw))) step = m * power;
    for (double t = std::ceil(lo / step - 1e-9) * step; t <= hi + step * 1e-9; t += step)
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    return ticks;
}

namespace {

// The plot area inside the margins, over the data's range padded by 5 % in y, or over the
// view when one is given.
Frame PlotFrame(const SpectraPlot& plot, int width, int height, const PlotView* view) {
    Frame f{80.0, 50.0, width - 80.0 - 210.0, height - 50.0 - 60.0, 0, 1, 0, 1};
    if (plot.Bounds(f.xmin, f.xmax, f.ymin, f.ymax)) {
        if (f.xmax - f.xmin <= 0) {
            f.xmin -= 1;
            f.xmax += 1;
        }
        const double pad = f.ymax - f.ymin > 0 ? 0.05 * (f.ymax - f.ymin) : 0.5;
        f.ymin -= pad;
        f.ymax += pad;
    }
    if (view && view->xmax > view->xmin && view->ymax > view->ymin) {
        f.xmin = view->xmin;
        f.xmax = view->xmax;
        f.ymin = view->ymin;
        f.ymax = view->ymax;
    }
    return f;
}

// Grid, ticks, tick labels and the axis titles.
std::string AxesSvg(const Frame& f, const SpectraPlot& plot, int height) {
    std::string svg = "<g class=\"axes\" stroke=\"#000\" stroke-width=\"1\">\n";
    const std::vector<double> xt = NiceTicks(f.xmin, f.xmax, 8);
    const std::vector<double> yt = NiceTicks(f.ymin, f.ymax, 6);
    const double xstep = xt.size() > 1 ? xt[1] - xt[0] : 1.0;
    const double ystep = yt.size() > 1 ? yt[1] - yt[0] : 1.0;
    std::string labels;
    for (double t : xt) {
        const std::string x = Num(f.X(t));
        svg += "<line x1=\"" + x + "\" y1=\"" + Num(f.top) + "\" x2=\"" + x + "\" y2=\"" +
               Num(f.top + f.height) + "\" stroke=\"#e0e0e0\"/>\n";
        svg += "<line x1=\"" + x + "\" y1=\"" + Num(f.top + f.height) + "\" x2=\"" + x +
               "\" y2=\"" + Num(f.top + f.height + 5) + "\"/>\n";
        labels += "<text x=\"" + x + "\" y=\"" + Num(f.top + f.height + 19) +
                  "\" text-anchor=\"middle\">" + TickText(t, xstep) + "</text>\n";
    }
    for (double t : yt) {
        const std::string y = Num(f.Y(t));
        svg += "<line x1=\"" + Num(f.left) + "\" y1=\"" + y + "\" x2=\"" + Num(f.left + f.width) +
               "\" y2=\"" + y + "\" stroke=\"#e0e0e0\"/>\n";
        svg += "<line x1=\"" + Num(f.left - 5) + "\" y1=\"" + y + "\" x2=\"" + Num(f.left) +
               "\" y2=\"" + y + "\"/>\n";
        labels += "<text x=\"" + Num(f.left - 8) + "\" y=\"" + Num(f.Y(t) + 4) +
                  "\" text-anchor=\"end\">" + TickText(t, ystep) + "</text>\n";
    }
    svg += "<rect x=\"" + Num(f.left) + "\" y=\"" + Num(f.top) + "\" width=\"" + Num(f.width) +
           "\" height=\"" + Num(f.height) + "\" fill=\"none\"/>\n</g>\n";
    svg += "<g class=\"labels\">\n" + labels;
    svg += "<text x=\"" + Num(f.left + f.width / 2) + "\" y=\"" + Num(height - 14.0) +
           "\" text-anchor=\"middle\">" + Xml(plot.x_label) + "</text>\n";
    svg += "<text transform=\"translate(20 " + Num(f.top + f.height / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">" + Xml(plot.y_label) + "</text>\n</g>\n";
    return svg;
}

// The standard-deviation bands, then the curves over them, clipped to the plot area.
std::string CurvesSvg(const Frame& f, const SpectraPlot& plot) {
    std::string svg = "<clipPath id=\"area\"><rect x=\"" + Num(f.left) + "\" y=\"" +
                      Num(f.top) + "\" width=\"" + Num(f.width) + "\" height=\"" +
                      Num(f.height) + "\"/></clipPath>\n";
    svg += "<g clip-path=\"url(#area)\">\n";
    for (const PlotCurve& c : plot.curves) {
        if (c.lower.size() != c.x.size() || c.upper.size() != c.x.size()) continue;
        const std::string d = BandPath(f, c);
        if (d.empty()) continue;
        svg += "<path class=\"band\" d=\"" + d + "\" fill=\"" + plot.groups.at(c.group).colour +
               "\" fill-opacity=\"0.2\" stroke=\"none\"/>\n";
    }
    const double stroke = plot.curves.size() > 40 ? 0.8 : 1.5;
    for (const PlotCurve& c : plot.curves) {
        svg += "<path class=\"curve\" d=\"" + LinePath(f, c) + "\" fill=\"none\" stroke=\"" +
               plot.groups.at(c.group).colour + "\" stroke-width=\"" + Num(stroke) +
               "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"><title>" + Xml(c.label) +
               "</title></path>\n";
    }
    svg += "</g>\n";
    return svg;
}

// One entry per group, right of the plot area.
std::string LegendSvg(const Frame& f, const SpectraPlot& plot) {
    std::string svg = "<g class=\"legend\">\n";
    const double lx = f.left + f.width + 20;
    for (size_t i = 0; i < plot.groups.size(); ++i) {
        const double y = f.top + 10 + 20.0 * static_cast<double>(i);
        svg += "<line x1=\"" + Num(lx) + "\" y1=\"" + Num(y) + "\" x2=\"" + Num(lx + 24) +
               "\" y2=\"" + Num(y) + "\" stroke=\"" + plot.groups[i].colour +
               "\" stroke-width=\"3\"/>\n";
        svg += "<text x=\"" + Num(lx + 32) + "\" y=\"" + Num(y + 4) + "\">" +
               Xml(plot.groups[i].name) + "</text>\n";
    }
    return svg + "</g>\n";
}

}  // namespace

std::string SpectraPlotSvg(const SpectraPlot& plot, int width, int height, const PlotView* view) {
    const Frame f = PlotFrame(plot, width, height, view);
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
        "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
        " " + std::to_string(height) + "\" font-family=\"DejaVu Sans, sans-serif\" "
        "font-size=\"12\">\n"
        "<title>" + Xml(plot.title) + "</title>\n"
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        "<text x=\"" + Num(f.left + f.width / 2) + "\" y=\"28\" text-anchor=\"middle\" "
        "font-size=\"15\">" + Xml(plot.title) + "</text>\n";

    svg += AxesSvg(f, plot, height);
    svg += CurvesSvg(f, plot);
    svg += LegendSvg(f, plot);
    return svg + "</svg>\n";
}

void WriteSpectraPlotSvg(const SpectraPlot& plot, const std::string& path,
                         const PlotView* view) {
    const std::string svg = SpectraPlotSvg(plot, 960, 600, view);
    // Like every result file: the earlier plot stays until the new one is complete.
    TextFile file(path, '#');
    if (!file.OpenForWriting()) throw OrvaneError(CannotWriteMessage(path, file.FailureReason()));
    file.WriteString(svg);
    if (!file.Close())
        throw OrvaneError(CannotReplaceMessage(path, file.FailureReason()));
}

}  // namespace orvane
