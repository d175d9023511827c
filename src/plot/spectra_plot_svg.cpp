// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/spectra_plot_svg.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <functional>

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

// The colour `share` of the way from white to `colour` ("#rrggbb"), as the colour at that opacity
// shows on white: an opaque fill, because ImageMagick's own renderer ignores fill-opacity.
std::string Tint(const std::string& colour, double share) {
    if (colour.size() != 7 || colour[0] != '#') return colour;
    std::string out = "#";
    for (size_t i = 1; i < 7; i += 2) {
        const int c = std::stoi(colour.substr(i, 2), nullptr, 16);
        out += fmt::format("{:02x}", static_cast<int>(std::lround(255 - share * (255 - c))));
    }
    return out;
}

// A point in the drawing's coordinates.
struct Xy {
    double x, y;
};

// The part of the segment p-q inside the frame's area (Liang and Barsky's clipping), or false
// when none of it is. The curves are cut here, not by an SVG clip path, because some renderers
// ignore clip paths and others drop what uses them.
bool ClipSegment(const Frame& f, Xy& p, Xy& q) {
    const double dx = q.x - p.x, dy = q.y - p.y;
    double t0 = 0.0, t1 = 1.0;
    const double edges[4][2] = {{-dx, p.x - f.left},
                                {dx, f.left + f.width - p.x},
                                {-dy, p.y - f.top},
                                {dy, f.top + f.height - p.y}};
    for (const auto& [denominator, distance] : edges) {
        if (denominator == 0.0) {
            if (distance < 0.0) return false;
            continue;
        }
        const double t = distance / denominator;
        if (denominator < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const Xy start{p.x + t0 * dx, p.y + t0 * dy};
    q = {p.x + t1 * dx, p.y + t1 * dy};
    p = start;
    return true;
}

bool Inside(const Frame& f, const Xy& p) {
    return p.x >= f.left && p.x <= f.left + f.width && p.y >= f.top && p.y <= f.top + f.height;
}

// The polygon cut to the frame's area, one edge of the area after the other (Sutherland and
// Hodgman's clipping).
std::vector<Xy> ClipPolygon(const Frame& f, std::vector<Xy> polygon) {
    const double right = f.left + f.width, bottom = f.top + f.height;
    const std::function<bool(const Xy&)> inside[4] = {
        [&](const Xy& p) { return p.x >= f.left; }, [&](const Xy& p) { return p.x <= right; },
        [&](const Xy& p) { return p.y >= f.top; }, [&](const Xy& p) { return p.y <= bottom; }};
    const double bounds[4] = {f.left, right, f.top, bottom};
    for (int e = 0; e < 4 && !polygon.empty(); ++e) {
        std::vector<Xy> out;
        const bool vertical = e < 2;
        for (size_t i = 0; i < polygon.size(); ++i) {
            const Xy& p = polygon[i];
            const Xy& q = polygon[(i + 1) % polygon.size()];
            const bool pin = inside[e](p), qin = inside[e](q);
            if (pin) out.push_back(p);
            if (pin != qin) {
                const double t =
                    vertical ? (bounds[e] - p.x) / (q.x - p.x) : (bounds[e] - p.y) / (q.y - p.y);
                out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
            }
        }
        polygon = std::move(out);
    }
    return polygon;
}

std::string LinePath(const Frame& f, const PlotCurve& c) {
    std::string d;
    for (const auto& [first, last] : Runs(c.x, c.y)) {
        if (first == last) {
            // A lone point still shows: a zero-length segment with round caps is a dot.
            const Xy p{f.X(c.x[first]), f.Y(c.y[first])};
            if (Inside(f, p)) d += "M" + Num(p.x) + " " + Num(p.y) + "h0.01";
            continue;
        }
        bool open = false;  // whether the pen stands at the start of the next segment
        for (size_t i = first; i < last; ++i) {
            Xy p{f.X(c.x[i]), f.Y(c.y[i])};
            Xy q{f.X(c.x[i + 1]), f.Y(c.y[i + 1])};
            const Xy end = q;
            if (!ClipSegment(f, p, q)) {
                open = false;
                continue;
            }
            if (!open) d += "M" + Num(p.x) + " " + Num(p.y);
            d += "L" + Num(q.x) + " " + Num(q.y);
            // The next segment goes on from here only when this one was not cut at its end.
            open = Inside(f, end);
        }
    }
    return d;
}

std::string BandPath(const Frame& f, const PlotCurve& c) {
    std::string d;
    std::vector<double> both(c.x.size());
    for (size_t i = 0; i < both.size(); ++i) both[i] = c.lower[i] + c.upper[i];
    for (const auto& [first, last] : Runs(c.x, both)) {
        std::vector<Xy> polygon;
        for (size_t i = first; i <= last; ++i) polygon.push_back({f.X(c.x[i]), f.Y(c.upper[i])});
        for (size_t i = last + 1; i-- > first;) polygon.push_back({f.X(c.x[i]), f.Y(c.lower[i])});
        polygon = ClipPolygon(f, std::move(polygon));
        if (polygon.size() < 3) continue;
        for (size_t i = 0; i < polygon.size(); ++i)
            d += (i ? "L" : "M") + Num(polygon[i].x) + " " + Num(polygon[i].y);
        d += "Z";
    }
    return d;
}

// The plot area inside the margins, over the data's range padded by 5 % in y, or over the
// view when one is given. The legend's column on the right is as wide as its longest name
// needs, but leaves the plot at least half the width.
Frame PlotFrame(const SpectraPlot& plot, int width, int height, const PlotView* view) {
    size_t longest = 0;
    for (const PlotGroup& g : plot.groups) longest = std::max(longest, g.name.size());
    const double legend = std::min(0.5 * width - 80.0, 70.0 + 7.5 * static_cast<double>(longest));
    Frame f{80.0, 50.0, width - 80.0 - legend, height - 50.0 - 60.0, 0, 1, 0, 1};
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
    // About one tick per 90 pixels across and 60 up, so that no two labels meet.
    const std::vector<double> xt =
        NiceTicks(f.xmin, f.xmax, std::clamp(static_cast<int>(f.width / 90.0), 2, 8));
    const std::vector<double> yt =
        NiceTicks(f.ymin, f.ymax, std::clamp(static_cast<int>(f.height / 60.0), 2, 6));
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
    svg += "<g class=\"labels\" stroke=\"none\">\n" + labels;
    svg += "<text x=\"" + Num(f.left + f.width / 2) + "\" y=\"" + Num(height - 14.0) +
           "\" text-anchor=\"middle\">" + Xml(plot.x_label) + "</text>\n";
    svg += "<text transform=\"translate(20 " + Num(f.top + f.height / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">" + Xml(plot.y_label) + "</text>\n</g>\n";
    return svg;
}

// The standard-deviation bands, then the curves over them, cut at the plot area's edges.
std::string CurvesSvg(const Frame& f, const SpectraPlot& plot) {
    std::string svg = "<g class=\"curves\">\n";
    for (const PlotCurve& c : plot.curves) {
        if (c.lower.size() != c.x.size() || c.upper.size() != c.x.size()) continue;
        const std::string d = BandPath(f, c);
        if (d.empty()) continue;
        svg += "<path class=\"band\" d=\"" + d + "\" fill=\"" +
               Tint(plot.groups.at(c.group).colour, 0.2) + "\" stroke=\"none\"/>\n";
    }
    const double stroke = plot.curves.size() > 40 ? 0.8 : 1.5;
    for (const PlotCurve& c : plot.curves) {
        // A curve wholly outside the view is left out rather than written as an empty path.
        const std::string d = LinePath(f, c);
        if (d.empty()) continue;
        svg += "<path class=\"curve\" d=\"" + d + "\" fill=\"none\" stroke=\"" +
               plot.groups.at(c.group).colour + "\" stroke-width=\"" + Num(stroke) +
               "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"><title>" + Xml(c.label) +
               "</title></path>\n";
    }
    // The sensor's band centres, as the window marks them.
    if (plot.markers)
        for (const PlotCurve& c : plot.curves)
            for (size_t i = 0; i < c.x.size(); ++i) {
                if (!std::isfinite(c.x[i]) || !std::isfinite(c.y[i])) continue;
                const Xy p{f.X(c.x[i]), f.Y(c.y[i])};
                if (!Inside(f, p)) continue;
                svg += "<circle cx=\"" + Num(p.x) + "\" cy=\"" + Num(p.y) + "\" r=\"2.5\" fill=\"" +
                       plot.groups.at(c.group).colour + "\" stroke=\"none\"/>\n";
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
        svg += "<text x=\"" + Num(lx + 32) + "\" y=\"" + Num(y + 4) + "\" stroke=\"none\">" +
               Xml(plot.groups[i].name) + "</text>\n";
    }
    return svg + "</g>\n";
}

}  // namespace

std::string SpectraPlotSvg(const SpectraPlot& plot, const FigureSize& size, const PlotView* view) {
    const int width = size.LayoutWidth();
    const int height = size.LayoutHeight();
    const Frame f = PlotFrame(plot, width, height, view);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" " + size.SvgSizeAttributes() +
           " viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"12\">\n";
    svg += "<title>" + Xml(plot.title) + "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\" stroke=\"none\"/>\n";
    svg += "<text x=\"" + Num(f.left + f.width / 2) +
           "\" y=\"28\" text-anchor=\"middle\" stroke=\"none\" font-size=\"15\">" +
           Xml(plot.title) + "</text>\n";

    svg += AxesSvg(f, plot, height);
    svg += CurvesSvg(f, plot);
    svg += LegendSvg(f, plot);
    return svg + "</svg>\n";
}

void WriteSpectraPlotSvg(const SpectraPlot& plot, const std::string& path, const FigureSize& size,
                         const PlotView* view) {
    const std::string svg = SpectraPlotSvg(plot, size, view);
    // Like every result file: the earlier plot stays until the new one is complete.
    TextFile file(path, '#');
    if (!file.OpenForWriting()) throw OrvaneError(CannotWriteMessage(path, file.FailureReason()));
    file.WriteString(svg);
    if (!file.Close())
        throw OrvaneError(CannotReplaceMessage(path, file.FailureReason()));
}

}  // namespace orvane
