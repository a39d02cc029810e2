#include "Compare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <optional>

namespace kritzel::vergleich {

namespace {

// ---------------------------------------------------------------------------------------------
// Plane arithmetic

Point operator+(Point a, Point b) {
    return {a.x + b.x, a.y + b.y};
}
Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
Point operator*(Point a, double k) {
    return {a.x * k, a.y * k};
}
double Dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}
double Cross(Point a, Point b) {
    return a.x * b.y - a.y * b.x;
}
double Norm(Point a) {
    return std::sqrt(a.x * a.x + a.y * a.y);
}
double Distance(Point a, Point b) {
    return Norm(a - b);
}

// The square of the distance of p from the segment a-b (a point when a == b).
double SegmentDistance2(Point p, Point a, Point b) {
    const Point d = b - a;
    const double l2 = Dot(d, d);
    double t = l2 > 0 ? Dot(p - a, d) / l2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const Point e = p - (a + d * t);
    return Dot(e, e);
}
double SegmentDistance(Point p, Point a, Point b) {
    return std::sqrt(SegmentDistance2(p, a, b));
}

// The distance of p from the line through a and b.
double LineDistance(Point p, Point a, Point b) {
    const double l = Distance(a, b);
    return l > 0 ? std::fabs(Cross(b - a, p - a)) / l : Distance(p, a);
}

// Whether the segment runs the way of a piece with direction d, either way round, within 20
// degrees (less than the corner that parts two sides): near a corner a stroke across it
// neither covers nor recolours a sample, not even a roof's side meeting a wall at 30 degrees.
// A piece or segment shorter than shortest runs every way: rounded to pixels it has no
// direction to speak of.
bool Along(Point d, Point a, Point b, double shortest) {
    const Point e = b - a;
    const double dd = Dot(d, d), ee = Dot(e, e), s2 = shortest * shortest;
    const double c = Cross(d, e);
    constexpr double Sin2 = 0.116977778440511; // sin(20 degrees) squared
    return dd < s2 || ee < s2 || c * c <= Sin2 * dd * ee;
}

bool Finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

struct Box {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0;
    double x1 = -std::numeric_limits<double>::infinity(), y1 = x1;
    void Add(Point p) {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    bool Empty() const { return !(x0 <= x1 && y0 <= y1); }
    bool Near(const Box& o, double d) const {
        return std::fabs(x0 - o.x0) <= d && std::fabs(y0 - o.y0) <= d &&
               std::fabs(x1 - o.x1) <= d && std::fabs(y1 - o.y1) <= d;
    }
};

// Cuts the segment a-b to the box (Liang and Barsky); false when nothing of it is inside.
bool Clip(Point& a, Point& b, const Box& box) {
    double t0 = 0, t1 = 1;
    const Point d = b - a;
    const auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        const double r = q / p;
        if (p < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!edge(-d.x, a.x - box.x0) || !edge(d.x, box.x1 - a.x) || !edge(-d.y, a.y - box.y0) ||
        !edge(d.y, box.y1 - a.y))
        return false;
    const Point start = a;
    if (t1 < 1) b = start + d * t1;
    if (t0 > 0) a = start + d * t0;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Segments and the grid that finds them

struct Segment {
    Point a, b;
    Colour colour;
};

// A uniform grid over a drawing's segments: Near(p) visits every segment that comes within
// the tolerance of p (and a few more). Each segment is walked in steps of a quarter cell and
// entered in the cells it passes; a cell is at least twice the tolerance, so a segment within
// the tolerance of p passes one of the 3 x 3 cells around p's.
class SegmentIndex {
public:
    SegmentIndex(const std::vector<Segment>& segments, double tolerance) : segments_(segments) {
        Box box;
        for (const Segment& s : segments) {
            box.Add(s.a);
            box.Add(s.b);
        }
        if (box.Empty()) return;
        x0_ = box.x0, y0_ = box.y0;
        const double w = box.x1 - box.x0, h = box.y1 - box.y0;
        cell_ = std::max(2 * tolerance, 1e-9);
        // Fewer cells than about four per segment, and never more than a few million.
        const double most = std::clamp(4.0 * double(segments.size()), 1024.0, 4e6);
        while ((w / cell_ + 1) * (h / cell_ + 1) > most)
            cell_ *= 1.5;
        nx_ = static_cast<std::size_t>(w / cell_) + 1;
        ny_ = static_cast<std::size_t>(h / cell_) + 1;

        std::vector<std::pair<std::uint32_t, std::uint32_t>> entries; // cell, segment
        entries.reserve(segments.size() * 3);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const Segment& s = segments[i];
            const double steps = std::ceil(Distance(s.a, s.b) / (cell_ / 4));
            const auto n = static_cast<std::size_t>(std::max(steps, 1.0));
            std::uint32_t last = std::numeric_limits<std::uint32_t>::max();
            for (std::size_t k = 0; k <= n; ++k) {
                const Point p = s.a + (s.b - s.a) * (double(k) / double(n));
                const std::uint32_t c = Cell(CellX(p.x), CellY(p.y));
                if (c != last) entries.emplace_back(c, static_cast<std::uint32_t>(i));
                last = c;
            }
        }
        // Counting sort by cell.
        start_.assign(nx_ * ny_ + 1, 0);
        for (const auto& e : entries)
            ++start_[e.first + 1];
        for (std::size_t c = 0; c < nx_ * ny_; ++c)
            start_[c + 1] += start_[c];
        ids_.resize(entries.size());
        std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
        for (const auto& e : entries)
            ids_[fill[e.first]++] = e.second;
    }

    template <class F> void Near(Point p, F&& visit) const {
        if (nx_ == 0) return;
        const double fx = (p.x - x0_) / cell_, fy = (p.y - y0_) / cell_;
        if (!(fx > -2 && fy > -2 && fx < double(nx_) + 1 && fy < double(ny_) + 1)) return;
        const std::ptrdiff_t cx = static_cast<std::ptrdiff_t>(std::floor(fx));
        const std::ptrdiff_t cy = static_cast<std::ptrdiff_t>(std::floor(fy));
        // p's own cell first: what is nearest is mostly there.
        static constexpr int Around[9][2] = {{0, 0},   {-1, 0}, {1, 0},  {0, -1}, {0, 1},
                                             {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
        for (const auto& [ox, oy] : Around) {
            const std::ptrdiff_t x = cx + ox, y = cy + oy;
            if (x < 0 || y < 0 || x >= std::ptrdiff_t(nx_) || y >= std::ptrdiff_t(ny_)) continue;
            const std::size_t c = std::size_t(y) * nx_ + std::size_t(x);
            for (std::uint32_t k = start_[c]; k < start_[c + 1]; ++k)
                if (!visit(ids_[k])) return;
        }
    }

    const std::vector<Segment>& segments() const { return segments_; }

private:
    std::size_t CellX(double x) const {
        return std::min(static_cast<std::size_t>(std::max((x - x0_) / cell_, 0.0)), nx_ - 1);
    }
    std::size_t CellY(double y) const {
        return std::min(static_cast<std::size_t>(std::max((y - y0_) / cell_, 0.0)), ny_ - 1);
    }
    std::uint32_t Cell(std::size_t x, std::size_t y) const {
        return static_cast<std::uint32_t>(y * nx_ + x);
    }

    const std::vector<Segment>& segments_;
    double x0_ = 0, y0_ = 0, cell_ = 1;
    std::size_t nx_ = 0, ny_ = 0;
    std::vector<std::uint32_t> start_, ids_;
};

// ---------------------------------------------------------------------------------------------
// Strokes: a drawing's lines, circles and outlines as continuous polylines

enum class StrokeKind { Lines, Circle, Outline };

struct Stroke {
    StrokeKind kind;
    std::size_t element;    // the circle's or area's index; for lines, the first line's
    std::vector<Point> pts; // vertices, closed strokes end where they start
    std::vector<int> side;  // per piece: the solution's side (0-based), -1 where none
    std::vector<Colour> colour;
    std::vector<std::uint32_t> segment; // per piece: its index in the drawing's segments
    bool closed = false;
};

struct Flat {
    std::vector<Segment> segments;
    std::vector<Stroke> strokes;
    struct Side {
        Point a, b;
    };
    std::vector<Side> sides;
};

// Enough corners that the polygon stays within a twentieth of the tolerance of the circle.
// At most most corners (a drawing's circles share a budget, so that a flood of huge circles
// costs bounded work).
std::size_t CircleCorners(double radius, double tolerance, double most) {
    if (!(radius > 0)) return 0;
    const double sagitta = tolerance / 20;
    if (sagitta >= radius) return 8;
    const double n = std::ceil(std::numbers::pi / std::acos(1 - sagitta / radius));
    return static_cast<std::size_t>(std::clamp(std::min(n, most), 8.0, 4096.0));
}

// The corners all the circles of a drawing may have together.
constexpr double CircleBudget = 2e6;

std::vector<Point> CirclePolygon(const Circle& c, double tolerance, std::size_t circles) {
    const std::size_t n = CircleCorners(c.radius, tolerance, CircleBudget / double(circles));
    std::vector<Point> pts;
    pts.reserve(n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
        const double a = 2 * std::numbers::pi * double(i % n) / double(n);
        pts.push_back({c.centre.x + c.radius * std::cos(a), c.centre.y + c.radius * std::sin(a)});
    }
    return pts;
}

class Flattener {
public:
    Flattener(const Box& view, double tolerance, double pixel)
        : view_(view), tolerance_(tolerance), pixel_(pixel) {}

    Flat Run(const Drawing& d) {
        Sides(d);
        for (std::size_t i = 0; i < d.lines.size(); ++i) {
            const Line& l = d.lines[i];
            const bool joined = i > 0 && Distance(d.lines[i - 1].b, l.a) <= 1e-9;
            if (!joined) Break();
            Add(StrokeKind::Lines, i, l.a, l.b, l.colour, side_[i]);
        }
        Break();
        for (std::size_t i = 0; i < d.circles.size(); ++i) {
            const std::vector<Point> pts =
                CirclePolygon(d.circles[i], tolerance_, d.circles.size());
            for (std::size_t k = 0; k + 1 < pts.size(); ++k)
                Add(StrokeKind::Circle, i, pts[k], pts[k + 1], d.circles[i].colour, -1);
            Close();
        }
        for (std::size_t i = 0; i < d.areas.size(); ++i) {
            const Area& a = d.areas[i];
            if (!a.outlined || a.outline.size() < 2) continue;
            for (std::size_t k = 0; k < a.outline.size(); ++k)
                Add(StrokeKind::Outline, i, a.outline[k], a.outline[(k + 1) % a.outline.size()],
                    a.colour, -1);
            Close();
        }
        return std::move(flat_);
    }

private:
    // The solution's sides: its straight runs in drawing order, consecutive pieces merged
    // while they go on in one direction (each corner within a pixel of the merged line).
    void Sides(const Drawing& d) {
        const double within = std::min(pixel_, tolerance_ / 2);
        side_.assign(d.lines.size(), -1);
        std::vector<Point> corners; // of the side being merged
        for (std::size_t i = 0; i < d.lines.size(); ++i) {
            const Line& l = d.lines[i];
            bool merge = false;
            if (!flat_.sides.empty() && i > 0 && Distance(d.lines[i - 1].b, l.a) <= 1e-9 &&
                d.lines[i - 1].colour == l.colour) {
                Flat::Side& s = flat_.sides.back();
                if (Distance(l.a, l.b) <= 1e-12) {
                    merge = true;
                } else if (Distance(s.a, s.b) <= 1e-12) {
                    merge = true;
                } else if (Dot(s.b - s.a, l.b - l.a) > 0) {
                    merge = true;
                    for (const Point& c : corners)
                        merge = merge && LineDistance(c, s.a, l.b) <= within;
                    merge = merge && LineDistance(s.b, s.a, l.b) <= within;
                }
            }
            if (merge) {
                corners.push_back(flat_.sides.back().b);
                // Only the corners' distances matter; far more than a few hundred pieces of
                // one straight line are checked by their last ones.
                if (corners.size() > 256) corners.erase(corners.begin());
                if (Distance(l.a, l.b) > 1e-12) flat_.sides.back().b = l.b;
            } else {
                flat_.sides.push_back({l.a, l.b});
                corners.clear();
            }
            side_[i] = static_cast<int>(flat_.sides.size()) - 1;
        }
    }

    void Add(StrokeKind kind, std::size_t element, Point a, Point b, Colour colour, int side) {
        if (!Finite(a) || !Finite(b)) {
            Break();
            return;
        }
        const Point a0 = a, b0 = b;
        if (!view_.Empty() && !Clip(a, b, view_)) {
            Break();
            return;
        }
        if (a.x != a0.x || a.y != a0.y) Break();
        if (!open_ || Distance(open_->pts.back(), a) > 1e-9) {
            Break();
            open_ = Stroke{kind, element, {a}, {}, {}, {}, false};
        }
        open_->pts.push_back(b);
        open_->side.push_back(side);
        open_->colour.push_back(colour);
        open_->segment.push_back(static_cast<std::uint32_t>(flat_.segments.size()));
        flat_.segments.push_back({a, b, colour});
        if (b.x != b0.x || b.y != b0.y) Break();
    }
    void Close() {
        if (open_ && open_->pts.size() > 2 &&
            Distance(open_->pts.front(), open_->pts.back()) < 1e-9)
            open_->closed = true;
        Break();
    }
    void Break() {
        if (open_) flat_.strokes.push_back(std::move(*open_));
        open_.reset();
    }

    Box view_;
    double tolerance_, pixel_;
    Flat flat_;
    std::vector<int> side_;
    std::optional<Stroke> open_;
};

// ---------------------------------------------------------------------------------------------
// Samples along one drawing's strokes, looked up in the other's segments

enum Status : std::uint8_t { Uncovered, OtherColour, Matched };

struct Sample {
    Point p;
    std::uint32_t piece; // the stroke's piece it lies on
    double t;            // how far along that piece, in LE
    double weight;       // the length it stands for
    Status status;
};

struct Sampled {
    std::vector<std::vector<Sample>> strokes; // per stroke
};

Sampled SampleAndLook(const Flat& own, const SegmentIndex& other, double step, double tolerance,
                      double shortest) {
    const double tolerance2 = tolerance * tolerance;
    Sampled out;
    out.strokes.resize(own.strokes.size());
    for (std::size_t si = 0; si < own.strokes.size(); ++si) {
        const Stroke& s = own.strokes[si];
        std::vector<Sample>& samples = out.strokes[si];
        const std::size_t pieces = s.pts.size() - 1;
        std::size_t count = 1;
        for (std::size_t k = 0; k < pieces; ++k)
            count += static_cast<std::size_t>(
                std::max(std::ceil(Distance(s.pts[k], s.pts[k + 1]) / step), 1.0));
        samples.reserve(count);
        for (std::size_t k = 0; k < pieces; ++k) {
            const Point a = s.pts[k], b = s.pts[k + 1];
            const double len = Distance(a, b);
            const auto n = static_cast<std::size_t>(std::max(std::ceil(len / step), 1.0));
            const bool last = k + 1 == pieces && !s.closed;
            for (std::size_t i = 0; i < n + (last ? 1 : 0); ++i) {
                const double f = double(i) / double(n);
                samples.push_back({a + (b - a) * f, static_cast<std::uint32_t>(k), len * f,
                                   i < n ? len / double(n) : 0, Uncovered});
            }
        }
        // Consecutive samples mostly find the same segment: it is tried first.
        std::uint32_t hint = std::numeric_limits<std::uint32_t>::max();
        for (Sample& m : samples) {
            const Colour colour = s.colour[m.piece];
            const Point way = s.pts[m.piece + 1] - s.pts[m.piece];
            if (hint < other.segments().size()) {
                const Segment& g = other.segments()[hint];
                if (g.colour == colour && SegmentDistance2(m.p, g.a, g.b) <= tolerance2 &&
                    Along(way, g.a, g.b, shortest)) {
                    m.status = Matched;
                    continue;
                }
            }
            other.Near(m.p, [&](std::uint32_t id) {
                const Segment& g = other.segments()[id];
                if (!Along(way, g.a, g.b, shortest) || SegmentDistance2(m.p, g.a, g.b) > tolerance2)
                    return true;
                if (g.colour == colour) {
                    m.status = Matched;
                    hint = id;
                    return false;
                }
                m.status = OtherColour;
                return true;
            });
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Numbers, colours and messages

struct Words {
    Language language;
    bool German() const { return language == Language::German; }
    std::string Num(double v) const { return FormatNumber(v, language); }
    std::string At(Point p) const {
        const std::string x = Num(p.x), y = Num(p.y);
        // With decimal commas a comma between the coordinates would read as a third number.
        const bool commas =
            German() && (x.find(',') != std::string::npos || y.find(',') != std::string::npos);
        return "(" + x + (commas ? "; " : ", ") + y + ")";
    }
    std::string Name(Colour c) const { return ColourName(c, language); }
    std::string Quote(const std::string& t) const {
        return German() ? "\u201E" + t + "\u201C" : "\u201C" + t + "\u201D";
    }
};

double TurnAt(const Stroke& s, std::size_t piece) {
    // The turn, in degrees, from the piece before to this one.
    if (piece == 0) {
        if (!s.closed) return 0;
        piece = s.pts.size() - 1;
    }
    const Point d0 = s.pts[piece] - s.pts[piece - 1];
    const Point d1 = s.pts[piece % (s.pts.size() - 1) + 1] - s.pts[piece % (s.pts.size() - 1)];
    if (Norm(d0) == 0 || Norm(d1) == 0) return 0;
    return std::fabs(std::atan2(Cross(d0, d1), Dot(d0, d1))) * 180 / std::numbers::pi;
}

// A run of samples along one stroke, with the ends the other drawing's geometry gives it.
struct Run {
    std::size_t stroke;
    std::vector<std::size_t> samples; // indices, in order (a closed stroke's may wrap)
    std::vector<Point> path;          // from the start through the samples to the end
    bool straight = true;             // no corner of 20 degrees or more inside
    double Length() const {
        double l = 0;
        for (std::size_t i = 1; i < path.size(); ++i)
            l += Distance(path[i - 1], path[i]);
        return l;
    }
};

class Runs {
public:
    Runs(const Flat& own, const Sampled& sampled, const SegmentIndex& other, double tolerance,
         double step, double shortest)
        : own_(own), sampled_(sampled), other_(other), tolerance_(tolerance), step_(step),
          shortest_(shortest) {}

    // The runs of samples with the status, split at corners of 20 degrees or more; runs
    // shorter than the tolerance are left out.
    std::vector<Run> Of(std::size_t si, Status status) const {
        const Stroke& s = own_.strokes[si];
        const std::vector<Sample>& m = sampled_.strokes[si];
        std::vector<std::vector<std::size_t>> groups;
        for (std::size_t i = 0; i < m.size(); ++i) {
            if (m[i].status != status) continue;
            const bool corner = m[i].t == 0 && TurnAt(s, m[i].piece) >= 20;
            if (groups.empty() || groups.back().back() + 1 != i || corner) groups.emplace_back();
            groups.back().push_back(i);
        }
        // Around a closed stroke's start, the last run goes on into the first.
        if (s.closed && groups.size() > 1 && groups.front().front() == 0 &&
            groups.back().back() + 1 == m.size() && TurnAt(s, 0) < 20) {
            groups.back().insert(groups.back().end(), groups.front().begin(), groups.front().end());
            groups.erase(groups.begin());
        }
        std::vector<Run> runs;
        for (auto& g : groups) {
            Run r{si, std::move(g), {}, true};
            for (std::size_t k = 1; k < r.samples.size(); ++k)
                if (m[r.samples[k]].piece != m[r.samples[k - 1]].piece &&
                    TurnAt(s, m[r.samples[k]].piece) >= 20)
                    r.straight = false;
            r.path.push_back(Start(si, r.samples.front()));
            for (std::size_t k : r.samples)
                r.path.push_back(m[k].p);
            r.path.push_back(End(si, r.samples.back()));
            if (r.Length() >= tolerance_ * 0.99) runs.push_back(std::move(r));
        }
        return runs;
    }

private:
    // Where the piece of the stroke at sample i begins to differ: at the stroke's start, or
    // where the other drawing's last stroke there ends (its end, projected on this piece),
    // else halfway between the samples less the tolerance.
    Point Start(std::size_t si, std::size_t i) const {
        const Stroke& s = own_.strokes[si];
        const std::vector<Sample>& m = sampled_.strokes[si];
        if (i == 0 && !s.closed) return m[i].p;
        const Sample& before = m[(i + m.size() - 1) % m.size()];
        return Boundary(s, m[i], before, true);
    }
    Point End(std::size_t si, std::size_t i) const {
        const Stroke& s = own_.strokes[si];
        const std::vector<Sample>& m = sampled_.strokes[si];
        if (i + 1 == m.size() && !s.closed) return m[i].p;
        const Sample& after = m[(i + 1) % m.size()];
        return Boundary(s, m[i], after, false);
    }

    Point Boundary(const Stroke& s, const Sample& inside, const Sample& outside, bool start) const {
        const Point a = s.pts[inside.piece], b = s.pts[inside.piece + 1];
        const double len = Distance(a, b);
        if (len == 0) return inside.p;
        const Point u = (b - a) * (1 / len);
        // The position of the neighbouring sample on this piece's line.
        const double to = Dot(outside.p - a, u);
        double best = std::numeric_limits<double>::quiet_NaN();
        other_.Near(outside.p, [&](std::uint32_t id) {
            const Segment& g = other_.segments()[id];
            if (SegmentDistance(outside.p, g.a, g.b) > tolerance_ ||
                !Along(b - a, g.a, g.b, shortest_))
                return true;
            for (const Point e : {g.a, g.b}) {
                if (LineDistance(e, a, b) > tolerance_) continue;
                const double t = Dot(e - a, u);
                if (start ? (t > inside.t || t < to - tolerance_ - step_)
                          : (t < inside.t || t > to + tolerance_ + step_))
                    continue;
                if (std::isnan(best) || (start ? t > best : t < best)) best = t;
            }
            return true;
        });
        // Else the other drawing's geometry ends (or leaves this line) about a tolerance
        // before where the samples stop finding it.
        if (std::isnan(best)) {
            best = (to + inside.t) / 2 + (start ? -tolerance_ : tolerance_);
            // Crossing another line near its own end, the stroke differs from that end on.
            if (best <= 2 * tolerance_) best = 0;
            if (len - best <= 2 * tolerance_) best = len;
        }
        return a + u * std::clamp(best, 0.0, len);
    }

    const Flat& own_;
    const Sampled& sampled_;
    const SegmentIndex& other_;
    double tolerance_, step_, shortest_;
};

// ---------------------------------------------------------------------------------------------
// Areas

struct Region {
    std::vector<Point> outline; // closed: the first point again at the end
    Colour fill;
    Box box;
    double perimeter = 0;
    Point centre;
    std::ptrdiff_t area = -1; // the drawing's area it is, -1 for a filled circle
};

std::vector<Region> Regions(const Drawing& d, double tolerance) {
    std::vector<Region> out;
    const auto add = [&out](std::vector<Point> pts, Colour fill) {
        Region r{std::move(pts), fill, {}, 0, {}};
        double area = 0;
        Point c{0, 0}, mean{0, 0};
        for (std::size_t i = 0; i + 1 < r.outline.size(); ++i) {
            const Point p = r.outline[i], q = r.outline[i + 1];
            r.box.Add(p);
            r.perimeter += Distance(p, q);
            const double cr = Cross(p, q);
            area += cr;
            c = c + (p + q) * cr;
            mean = mean + p;
        }
        const double n = double(r.outline.size() - 1);
        r.centre = std::fabs(area) > 1e-12 ? c * (1 / (3 * area)) : mean * (1 / n);
        if (Finite(r.centre) && !r.box.Empty()) out.push_back(std::move(r));
    };
    for (const Area& a : d.areas) {
        if (a.outline.size() < 2) continue;
        std::vector<Point> pts = a.outline;
        pts.push_back(pts.front());
        add(std::move(pts), a.fill);
        if (!out.empty()) out.back().area = &a - d.areas.data();
    }
    for (const Circle& c : d.circles)
        if (c.filled && c.radius > 0) add(CirclePolygon(c, tolerance, d.circles.size()), c.fill);
    return out;
}

// Whether every point of a's outline lies within the tolerance of b's (all but a fiftieth
// of the samples: corners rounded to pixels may stick out by a hair).
bool OutlineWithin(const Region& a, const Region& b, double tolerance, double step) {
    // Beyond a hundred thousand samples an outline is not a pupil's.
    step = std::max(step, a.perimeter / 1e5);
    std::vector<Segment> edges;
    for (std::size_t j = 0; j + 1 < b.outline.size(); ++j)
        edges.push_back({b.outline[j], b.outline[j + 1], 0});
    const SegmentIndex index(edges, tolerance);
    std::size_t all = 0, far = 0;
    const double most = (a.perimeter / step + 1) / 50;
    for (std::size_t i = 0; i + 1 < a.outline.size(); ++i) {
        const Point p = a.outline[i], q = a.outline[i + 1];
        const auto n = static_cast<std::size_t>(std::max(std::ceil(Distance(p, q) / step), 1.0));
        for (std::size_t k = 0; k < n; ++k) {
            const Point m = p + (q - p) * (double(k) / double(n));
            bool near = false;
            index.Near(m, [&](std::uint32_t id) {
                near = SegmentDistance(m, edges[id].a, edges[id].b) <= tolerance;
                return !near;
            });
            ++all;
            if (!near && double(++far) > most) return false;
        }
    }
    return far * 50 <= all;
}

std::vector<std::vector<Point>> Paths(const std::vector<Point>& path) {
    return {path};
}
std::vector<std::vector<Point>> Paths(const std::vector<Run>& runs) {
    std::vector<std::vector<Point>> out;
    for (const Run& r : runs)
        out.push_back(r.path);
    return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------

std::string FormatNumber(double value, Language language) {
    if (!std::isfinite(value)) return value > 0 ? "\u221E" : value < 0 ? "-\u221E" : "?";
    // Beyond 10^15 a double has no hundredths to round to.
    double v = std::fabs(value) < 1e15 ? std::round(value * 100) / 100 : value;
    if (std::fabs(v) < 0.005) v = 0;
    char buf[512]; // room for the largest double's 309 digits
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    if (const auto dot = s.find('.'); dot != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
        if (language == Language::German && s.size() > dot) s[dot] = ',';
    }
    return s;
}

std::string ColourName(Colour colour, Language language) {
    struct Named {
        Colour colour;
        const char *german, *english;
    };
    static constexpr Named Palette[] = {
        {0x000000, "schwarz", "black"},    {0x000080, "dunkelrot", "maroon"},
        {0x008000, "dunkelgrün", "green"}, {0x008080, "oliv", "olive"},
        {0x800000, "dunkelblau", "navy"},  {0x800080, "lila", "purple"},
        {0x808000, "blaugrün", "teal"},    {0x808080, "grau", "grey"},
        {0xC0C0C0, "hellgrau", "silver"},  {0x0000FF, "rot", "red"},
        {0x00FF00, "hellgrün", "lime"},    {0x00FFFF, "gelb", "yellow"},
        {0xFF0000, "blau", "blue"},        {0xFF00FF, "magenta", "fuchsia"},
        {0xFFFF00, "türkis", "aqua"},      {0xFFFFFF, "weiß", "white"},
    };
    const Colour c = colour & 0xFFFFFF;
    for (const Named& n : Palette)
        if (n.colour == c) return language == Language::German ? n.german : n.english;
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    return buf;
}

Comparison Compare(const Drawing& solution, const Drawing& submission, const Options& options) {
    const double tol =
        options.tolerance > 0 && std::isfinite(options.tolerance) ? options.tolerance : 0.05;
    const Words words{options.language};
    const bool de = words.German();
    Comparison result;

    // What lies far off both pictures is no part of what anyone sees.
    Box view;
    for (const Drawing* d : {&solution, &submission})
        if (d->width > 0 && d->height > 0) {
            view.Add({-d->width / 2 - 1, -d->height / 2 - 1});
            view.Add({d->width / 2 + 1, d->height / 2 + 1});
        }
    const double pixel = solution.pixelsPerCm > 0 ? 1 / solution.pixelsPerCm : tol / 4;
    const Flat sol = Flattener(view, tol, pixel).Run(solution);
    const Flat sub = Flattener(view, tol, pixel).Run(submission);

    double step = tol / 2;
    double length = 0;
    for (const Flat* f : {&sol, &sub})
        for (const Segment& g : f->segments)
            length += Distance(g.a, g.b);
    // A bound on the work for drawings far beyond any lesson's.
    constexpr double MostSamples = 1e7;
    if (length / step > MostSamples) step = length / MostSamples;

    const SegmentIndex solIndex(sol.segments, tol), subIndex(sub.segments, tol);
    // Pieces of 8 pixels or more keep their direction within 10 degrees when rounded to pixels.
    const double shortest = std::max(tol, 8 * pixel);
    const Sampled solSamples = SampleAndLook(sol, subIndex, step, tol, shortest);
    const Sampled subSamples = SampleAndLook(sub, solIndex, step, tol, shortest);

    // The score counts the solution's parts, each as a teacher marks it: wholly there in its
    // colour, 1; wholly there in another colour, a half; more than the tolerance of it missing
    // (short, or partly drawn), nothing.
    double parts = 0, credit = 0;
    const auto mark = [&](bool there, bool recoloured) {
        ++parts;
        credit += !there ? 0 : recoloured ? 0.5 : 1;
    };
    // The strokes' parts: a line stroke's sides, one after the other as long as they go on
    // in its colour without a corner (a curve of short steps is one part), each circle,
    // each area's outline. A corner turns by 20 degrees or more, and by more than a curve
    // rounded to pixels turns between two of its straight runs that long: a run of L pixels
    // lies within a pixel of an arc of radius L^2/8 pixels, which turns by 8/L radians along
    // it; twice that is a corner.
    const auto corner = [&](int j, int k) {
        if (j < 0 || k < 0) return j != k;
        const Flat::Side &p = sol.sides[std::size_t(j)], &q = sol.sides[std::size_t(k)];
        const Point u = p.b - p.a, v = q.b - q.a;
        const double shorter = std::min(Norm(u), Norm(v)) / pixel;
        const double turn = std::fabs(std::atan2(Cross(u, v), Dot(u, v)));
        return shorter > 0 && turn >= 20 * std::numbers::pi / 180 && turn >= 16 / shorter;
    };
    for (std::size_t si = 0; si < sol.strokes.size(); ++si) {
        const Stroke& s = sol.strokes[si];
        const std::vector<Sample>& m = solSamples.strokes[si];
        std::vector<std::size_t> partOf(s.colour.size(), 0);
        for (std::size_t k = 1; k < partOf.size(); ++k)
            partOf[k] =
                partOf[k - 1] +
                (s.kind == StrokeKind::Lines && s.side[k] != s.side[k - 1] &&
                         (s.colour[k] != s.colour[k - 1] || corner(s.side[k - 1], s.side[k]))
                     ? 1
                     : 0);
        struct Tally {
            double length = 0, uncovered = 0, other = 0;
        };
        std::vector<Tally> tally(partOf.empty() ? 0 : partOf.back() + 1);
        for (const Sample& sample : m) {
            Tally& t = tally[partOf[sample.piece]];
            t.length += sample.weight;
            if (sample.status == Uncovered) t.uncovered += sample.weight;
            if (sample.status == OtherColour) t.other += sample.weight;
        }
        for (const Tally& t : tally)
            if (t.length > 0) mark(t.uncovered <= tol, t.other > tol);
    }

    // The background.
    const Colour solBack = solution.background.value_or(0xFFFFFF);
    const Colour subBack = submission.background.value_or(0xFFFFFF);
    if ((solBack & 0xFFFFFF) != (subBack & 0xFFFFFF))
        result.differences.push_back(
            {"background",
             de ? "Hintergrund " + words.Name(subBack) + " statt " + words.Name(solBack)
                : "Background is " + words.Name(subBack) + " instead of " + words.Name(solBack),
             {},
             {}});

    // What a run along a stroke is called.
    const auto circleWords = [&](const Circle& c) {
        return (de ? "Radius " : "radius ") + words.Num(c.radius) + (de ? ", bei " : ", at ") +
               words.At(c.centre);
    };
    // A side of the solution by its number in drawing order and its ends.
    const auto sideName = [&](int k) {
        const Flat::Side& side = sol.sides[std::size_t(k)];
        return (de ? "Seite " : "Side ") + std::to_string(k + 1) + (de ? " (von " : " (from ") +
               words.At(side.a) + (de ? " nach " : " to ") + words.At(side.b) + ")";
    };
    // The share of a stroke's samples in the runs.
    const auto share = [](const std::vector<Run>& runs, const std::vector<Sample>& m) {
        std::size_t n = 0;
        for (const Run& r : runs)
            n += r.samples.size();
        return m.empty() ? 0.0 : double(n) / double(m.size());
    };

    // Areas: the same outline within the tolerance is the same area; the last one painted
    // there is the colour it shows.
    const std::vector<Region> solAreas = Regions(solution, tol),
                              subAreas = Regions(submission, tol);
    std::vector<Difference> areaDifferences;
    // Areas missing or extra as a whole: their outlines go without a word of their own.
    std::vector<bool> solAreaGone(solution.areas.size(), false),
        subAreaExtra(submission.areas.size(), false);
    std::vector<bool> subUsed(subAreas.size(), false);
    const bool byBoxes = double(solAreas.size()) * double(subAreas.size()) > 1e5;
    const auto areaName = [&](const Region& r) {
        return "(" + words.Name(r.fill) + (words.German() ? ") bei " : ") at ") +
               words.At(r.centre);
    };
    for (const Region& a : solAreas) {
        std::optional<std::size_t> shown;
        for (std::size_t j = 0; j < subAreas.size(); ++j) {
            const Region& b = subAreas[j];
            // Thousands of areas against thousands are matched by their boxes alone.
            if (!a.box.Near(b.box, 2 * tol) ||
                (!byBoxes && (!OutlineWithin(a, b, tol, step) || !OutlineWithin(b, a, tol, step))))
                continue;
            subUsed[j] = true;
            shown = j;
        }
        if (!shown) {
            mark(false, false);
            if (a.area >= 0) solAreaGone[std::size_t(a.area)] = true;
            areaDifferences.push_back(
                {"missing-area",
                 de ? "Fläche " + areaName(a) + " fehlt" : "Area " + areaName(a) + " is missing",
                 {a.outline},
                 {}});
            continue;
        }
        const Colour got = subAreas[*shown].fill;
        const bool same = (got & 0xFFFFFF) == (a.fill & 0xFFFFFF);
        mark(true, !same);
        if (same) continue;
        areaDifferences.push_back({"area-colour",
                                   (de ? "Fläche bei " : "Area at ") + words.At(a.centre) + ": " +
                                       words.Name(got) + (de ? " statt " : " instead of ") +
                                       words.Name(a.fill),
                                   {a.outline},
                                   {}});
    }
    for (std::size_t j = 0; j < subAreas.size(); ++j) {
        if (subUsed[j]) continue;
        if (subAreas[j].area >= 0) subAreaExtra[std::size_t(subAreas[j].area)] = true;
        areaDifferences.push_back(
            {"extra-area",
             (de ? "zusätzliche Fläche " : "extra area ") + areaName(subAreas[j]),
             {},
             {subAreas[j].outline}});
    }

    // The side each of the solution's segments belongs to, -1 for circles and outlines.
    std::vector<int> solSide(sol.segments.size(), -1);
    for (const Stroke& s : sol.strokes)
        for (std::size_t k = 0; k < s.segment.size(); ++k)
            solSide[s.segment[k]] = s.side[k];

    // The solution's strokes: missing, too short, in another colour.
    const Runs solRuns(sol, solSamples, subIndex, tol, step, shortest);
    for (std::size_t si = 0; si < sol.strokes.size(); ++si) {
        const Stroke& s = sol.strokes[si];
        const std::vector<Sample>& m = solSamples.strokes[si];
        std::vector<Run> missing = solRuns.Of(si, Uncovered);
        if (s.kind == StrokeKind::Outline && solAreaGone[s.element]) missing.clear();
        if (s.kind == StrokeKind::Circle && share(missing, m) > 0.75) {
            // Most of a circle is the circle, whatever crosses it.
            const Circle& c = solution.circles[s.element];
            result.differences.push_back({"missing-circle",
                                          de ? "Kreis, " + circleWords(c) + " fehlt"
                                             : "Circle, " + circleWords(c) + ", is missing",
                                          Paths(missing),
                                          {}});
            missing.clear();
        }
        // How many runs each side has: a side that lacks one end is too short.
        std::vector<int> perSide(sol.sides.size(), 0);
        for (const Run& r : missing) {
            int last = -1;
            for (std::size_t k : r.samples) {
                const int side = s.side[m[k].piece];
                if (side >= 0 && side != last) ++perSide[std::size_t(side)];
                last = side;
            }
        }
        for (const Run& r : missing) {
            const Point a = r.path.front(), b = r.path.back();
            Difference d;
            d.missing = Paths(r.path);
            if (s.kind == StrokeKind::Circle) {
                const Circle& c = solution.circles[s.element];
                d.kind = "missing-circle";
                d.text = de ? "Bogen von " + words.At(a) + " nach " + words.At(b) +
                                  " des Kreises, " + circleWords(c) + ", fehlt"
                            : "Arc from " + words.At(a) + " to " + words.At(b) +
                                  " of the circle, " + circleWords(c) + ", is missing";
                result.differences.push_back(std::move(d));
                continue;
            }
            const int side0 = s.side[m[r.samples.front()].piece];
            const int side1 = s.side[m[r.samples.back()].piece];
            if (side0 >= 0 && side0 == side1 && perSide[std::size_t(side0)] == 1) {
                const Flat::Side& side = sol.sides[std::size_t(side0)];
                const double near = tol / 2;
                const bool atStart = Distance(a, side.a) <= near || Distance(b, side.a) <= near;
                const bool atEnd = Distance(a, side.b) <= near || Distance(b, side.b) <= near;
                if (atStart != atEnd) {
                    d.kind = "short-side";
                    d.text = sideName(side0) + (de ? " ist " : " is ") + words.Num(r.Length()) +
                             (de ? " cm zu kurz" : " cm too short");
                    result.differences.push_back(std::move(d));
                    continue;
                }
            }
            d.kind = "missing-line";
            d.text = de ? std::string(r.straight ? "Linie" : "Linienzug") + " von " + words.At(a) +
                              " nach " + words.At(b) + " fehlt"
                        : std::string(r.straight ? "Line" : "Path") + " from " + words.At(a) +
                              " to " + words.At(b) + " is missing";
            result.differences.push_back(std::move(d));
        }
        for (const Run& r : solRuns.Of(si, OtherColour)) {
            // The other drawing's colour where the run lies, at its middle.
            const Sample& mid = m[r.samples[r.samples.size() / 2]];
            const Colour want = s.colour[mid.piece];
            Colour got = want;
            double nearest = std::numeric_limits<double>::infinity();
            subIndex.Near(mid.p, [&](std::uint32_t id) {
                const Segment& g = sub.segments[id];
                const double dist = SegmentDistance(mid.p, g.a, g.b);
                if (dist <= tol && dist < nearest) nearest = dist, got = g.colour;
                return true;
            });
            const std::string colours =
                words.Name(got) + (de ? " statt " : " instead of ") + words.Name(want);
            std::string what;
            if (s.kind == StrokeKind::Circle && share({r}, m) > 0.75)
                what =
                    (de ? "Kreis, " : "Circle, ") + circleWords(solution.circles[s.element]) + ",";
            else
                what = (de ? (r.straight ? "Linie von " : "Linienzug von ")
                           : (r.straight ? "Line from " : "Path from ")) +
                       words.At(r.path.front()) + (de ? " nach " : " to ") +
                       words.At(r.path.back());
            result.differences.push_back(
                {"colour", what + " " + (de ? "ist " : "is ") + colours, Paths(r.path), {}});
        }
    }

    // The submission's strokes the solution lacks: extra, or a side drawn too long.
    const Runs subRuns(sub, subSamples, solIndex, tol, step, shortest);
    for (std::size_t si = 0; si < sub.strokes.size(); ++si) {
        const Stroke& s = sub.strokes[si];
        const std::vector<Sample>& m = subSamples.strokes[si];
        std::vector<Run> extraRuns = subRuns.Of(si, Uncovered);
        if (s.kind == StrokeKind::Outline && subAreaExtra[s.element]) extraRuns.clear();
        if (s.kind == StrokeKind::Circle && share(extraRuns, m) > 0.75) {
            result.differences.push_back({"extra-circle",
                                          (de ? "zusätzlicher Kreis, " : "extra circle, ") +
                                              circleWords(submission.circles[s.element]),
                                          {},
                                          Paths(extraRuns)});
            extraRuns.clear();
        }
        for (const Run& r : extraRuns) {
            const Point a = r.path.front(), b = r.path.back();
            Difference d;
            d.extra = Paths(r.path);
            if (s.kind == StrokeKind::Circle) {
                const Circle& c = submission.circles[s.element];
                d.kind = "extra-circle";
                d.text = (de ? "zusätzlicher Bogen von " : "extra arc from ") + words.At(a) +
                         (de ? " nach " : " to ") + words.At(b) + ", " + circleWords(c);
                result.differences.push_back(std::move(d));
                continue;
            }
            // A straight run that goes on from the end of a side of the solution, along it.
            int longer = -1;
            for (const Point end : {a, b}) {
                if (!r.straight || longer >= 0) break;
                solIndex.Near(end, [&](std::uint32_t id) {
                    const int k = solSide[id];
                    if (k < 0) return true;
                    const Flat::Side& side = sol.sides[std::size_t(k)];
                    if (LineDistance(a, side.a, side.b) > tol ||
                        LineDistance(b, side.a, side.b) > tol ||
                        std::min(Distance(end, side.a), Distance(end, side.b)) > tol)
                        return true;
                    longer = k;
                    return false;
                });
            }
            if (longer >= 0) {
                d.kind = "long-side";
                d.text = sideName(longer) + (de ? " ist " : " is ") + words.Num(r.Length()) +
                         (de ? " cm zu lang" : " cm too long");
            } else {
                d.kind = "extra-line";
                d.text =
                    de ? std::string(r.straight ? "zusätzliche Linie" : "zusätzlicher Linienzug") +
                             " von " + words.At(a) + " nach " + words.At(b)
                       : std::string(r.straight ? "extra line" : "extra path") + " from " +
                             words.At(a) + " to " + words.At(b);
            }
            result.differences.push_back(std::move(d));
        }
    }

    result.differences.insert(result.differences.end(), areaDifferences.begin(),
                              areaDifferences.end());

    // Texts: the same words at the same place, within the tolerance or half their height.
    std::vector<bool> textUsed(submission.texts.size(), false);
    const auto textBox = [](const Text& t) {
        return std::vector<Point>{t.at, {t.at.x, t.at.y - t.height}};
    };
    std::vector<const Text*> unplaced;
    for (const Text& t : solution.texts) {
        const double near = std::max(tol, t.height / 2);
        std::optional<std::size_t> found;
        for (std::size_t j = 0; j < submission.texts.size() && !found; ++j)
            if (!textUsed[j] && submission.texts[j].text == t.text &&
                Distance(submission.texts[j].at, t.at) <= near)
                found = j;
        if (!found) {
            mark(false, false);
            unplaced.push_back(&t);
            continue;
        }
        textUsed[*found] = true;
        const Text& u = submission.texts[*found];
        const bool same = (u.colour & 0xFFFFFF) == (t.colour & 0xFFFFFF);
        mark(true, !same);
        if (same) continue;
        result.differences.push_back({"text-colour",
                                      (de ? "Text " : "Text ") + words.Quote(t.text) +
                                          (de ? " bei " : " at ") + words.At(t.at) +
                                          (de ? " ist " : " is ") + words.Name(u.colour) +
                                          (de ? " statt " : " instead of ") + words.Name(t.colour),
                                      {textBox(t)},
                                      {}});
    }
    for (const Text* t : unplaced) {
        std::optional<std::size_t> moved;
        for (std::size_t j = 0; j < submission.texts.size() && !moved; ++j)
            if (!textUsed[j] && submission.texts[j].text == t->text) moved = j;
        if (moved) {
            textUsed[*moved] = true;
            const Text& u = submission.texts[*moved];
            result.differences.push_back({"text-place",
                                          de ? "Text " + words.Quote(t->text) + " steht bei " +
                                                   words.At(u.at) + " statt bei " + words.At(t->at)
                                             : "Text " + words.Quote(t->text) + " is at " +
                                                   words.At(u.at) + " instead of " +
                                                   words.At(t->at),
                                          {textBox(*t)},
                                          {textBox(u)}});
            continue;
        }
        result.differences.push_back(
            {"missing-text",
             de ? "Text " + words.Quote(t->text) + " bei " + words.At(t->at) + " fehlt"
                : "Text " + words.Quote(t->text) + " at " + words.At(t->at) + " is missing",
             {textBox(*t)},
             {}});
    }
    for (std::size_t j = 0; j < submission.texts.size(); ++j) {
        if (textUsed[j]) continue;
        const Text& u = submission.texts[j];
        result.differences.push_back({"extra-text",
                                      (de ? "zusätzlicher Text " : "extra text ") +
                                          words.Quote(u.text) + (de ? " bei " : " at ") +
                                          words.At(u.at),
                                      {},
                                      {textBox(u)}});
    }

    // Each extra part of the submission (a line, a side's overshoot, a circle or arc, an area,
    // a text) counts against as much as a part of the solution counts for it.
    double extra = 0;
    for (const Difference& d : result.differences)
        for (const char* kind :
             {"extra-line", "long-side", "extra-circle", "extra-area", "extra-text"})
            if (d.kind == kind) ++extra;
    const double whole = parts + extra;
    result.score =
        whole > 0 ? static_cast<int>(std::lround(100 * std::clamp(credit / whole, 0.0, 1.0))) : 100;
    return result;
}

} // namespace kritzel::vergleich
