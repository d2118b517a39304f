// The luminance and output passes: source sampling, shading and adaptive anti-aliasing.
#include "render/output_pass.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "image/image_buffer.h"
#include "render/geometry.h"
#include "render/overlay.h"
#include "render/shading.h"

namespace tw {
namespace {

constexpr float kNoSource = -1;

struct GridView {
    PixelRecord* grid;
    int32_t top, left, stride;
    PixelRecord& at(int32_t column, int32_t row) const {
        return grid[static_cast<ptrdiff_t>(row - top + 1) * stride + (column - left + 1)];
    }
};

GridView viewOf(const WaterState& s, PixelRecord* grid) {
    return {grid, s.job.top, s.job.left, s.job.right - s.job.left + 2};
}

int regionOf(const PixelRecord& r) {
    return static_cast<int>((r.kind & 7) * 311 + static_cast<float>(r.outside) * 2099.0f);
}

bool sameRegion(const PixelRecord& a, const PixelRecord& b) {
    return a.kind == b.kind && a.outside == b.outside;
}

bool sourceWraps(const WaterState& s) {
    return s.source && (s.source->wrap == kWrapBoth || s.source->wrap == kWrapHorizontal);
}

// Difference b - a of two source coordinates, across the seam when the picture wraps.
float wrappedDelta(float a, float b, bool wraps) {
    float d = b - a;
    if (wraps) {
        if (d > 0.5f) d -= 1;
        else if (d < -0.5f) d += 1;
    }
    return d;
}

// Mean of two source coordinates; a missing one gives way to the other.
float pairMean(float a, float b, bool wraps) {
    if (a == kNoSource) return b;
    if (b == kNoSource) return a;
    float m = a + wrappedDelta(a, b, wraps) * 0.5f;
    if (wraps) m -= std::floor(m);
    return m;
}

// Widens a pixel footprint by the Complex style's reflection footprint, so the filter
// covers both the pixel's extent and the wave detail it cannot resolve.
Footprint withReflection(Footprint f, const PixelRecord& r) {
    if (!r.hasFootprint) return f;
    auto widen = [](float& u, float& v, float fu, float fv) {
        const float sign = u * fu + v * fv < 0 ? -1.0f : 1.0f;
        u += sign * fu;
        v += sign * fv;
    };
    widen(f.dux, f.dvx, r.footprint[0], r.footprint[1]);
    widen(f.duy, f.dvy, r.footprint[2], r.footprint[3]);
    return f;
}

Rgba sampleSource(const WaterState& s, float u, float v, const Footprint& f, const PixelRecord& r) {
    if (!s.source || u == kNoSource || v == kNoSource) return {0, 0, 0, 0};
    const float blur = std::fmin(std::fmax(r.blurRadius, 0.0f), 1.0f);
    const PixelRgba p = footprintSample(*s.source, u, v, withReflection(f, r), blur, 0.0f, s.sampling);
    return {p.r, p.g, p.b, p.a};
}

Rgba shade(const WaterState& s, PixelRecord& r, Rgba c, Highlight* kept = nullptr) {
    float rgba[4] = {c.r, c.g, c.b, c.a};
    shadeWaterKeeping(rgba, s, r, kShadeNormal, kept);
    Rgba out{rgba[0], rgba[1], rgba[2], rgba[3]};
    if (std::isnan(out.r)) out.r = 0;
    if (std::isnan(out.g)) out.g = 0;
    if (std::isnan(out.b)) out.b = 0;
    if (std::isnan(out.a)) out.a = 0;
    return out;
}

// A single sample's colour: a zero alpha leaves nothing of the colour behind.
Rgba premultiplyRoundTrip(Rgba c) {
    if (c.a > 0) return c;
    return {0, 0, 0, std::fmax(c.a, 0.0f)};
}

// One filtered lookup over the quadrilateral the pixel's 2x2 block of records spans.
Rgba areaSample(WaterState& s, const GridView& g, int32_t c, int32_t r) {
    PixelRecord& pix = g.at(c, r);
    const PixelRecord& left = g.at(c - 1, r);
    const PixelRecord& up = g.at(c, r - 1);
    const PixelRecord& ul = g.at(c - 1, r - 1);
    const bool wraps = sourceWraps(s);
    // Edge midpoints of the quadrilateral, then its centre and extents.
    const float lu = pairMean(ul.sourceU, left.sourceU, wraps), lv = pairMean(ul.sourceV, left.sourceV, wraps);
    const float ru = pairMean(up.sourceU, pix.sourceU, wraps), rv = pairMean(up.sourceV, pix.sourceV, wraps);
    const float tu = pairMean(ul.sourceU, up.sourceU, wraps), tv = pairMean(ul.sourceV, up.sourceV, wraps);
    const float bu = pairMean(left.sourceU, pix.sourceU, wraps), bv = pairMean(left.sourceV, pix.sourceV, wraps);
    const float u = pairMean(lu, ru, wraps), v = pairMean(lv, rv, wraps);
    Footprint f{0, 0, 0, 0};
    if (lu != kNoSource && ru != kNoSource) {
        f.dux = wrappedDelta(lu, ru, wraps);
        f.dvx = rv - lv;
    }
    if (tu != kNoSource && bu != kNoSource) {
        f.duy = wrappedDelta(tu, bu, wraps);
        f.dvy = bv - tv;
    }
    return shade(s, pix, sampleSource(s, u, v, f, pix));
}

// Sub-sample footprints are cached per pixel for each region met, so a region's footprint
// costs its probes once however many sub-samples fall in it.
struct FootprintCache {
    int count = 0;
    int region[4];
    Footprint footprint[4];
};

// The footprint of a sub-sample from geometry probes half a pixel away on each side. The
// four probes are traced together (begun here, finished by the caller, possibly along with
// other rays); the diagonal one only counts, and only leaves its mark on the footprint
// cache, where one of the others left the sub-sample's region.
struct Probes {
    PixelRecord record[4];  // (+,+), (+,-), (-,+), (-,-) half a pixel away
    FootprintCacheState afterThree, afterFour;  // the cache without and with the diagonal one

    void begin(WaterState& s, GeometryTask* tasks, float x, float y) {
        const float ox[4] = {0.5f, 0.5f, -0.5f, -0.5f}, oy[4] = {0.5f, -0.5f, 0.5f, -0.5f};
        for (int i = 0; i < 4; ++i) {
            const float px = x + ox[i], py = y + oy[i];
            beginGeometry(s, tasks[i], record[i], px, py, pixelKey(static_cast<int32_t>(px), static_cast<int32_t>(py)));
            if (i == 2) readFootprintCache(s, afterThree);
        }
        readFootprintCache(s, afterFour);
    }

    // The footprint, once the probes are traced; leaves the cache as the probes that count do.
    Footprint footprint(WaterState& s, const PixelRecord& sub) {
        bool match[4];
        for (int i = 0; i < 4; ++i) match[i] = sameRegion(record[i], sub) && record[i].sourceU != kNoSource;
        const bool diagonal = !(match[0] && match[1] && match[2]);
        setFootprintCache(s, diagonal ? afterFour : afterThree);
        if (!diagonal) match[3] = false;
        const bool wraps = sourceWraps(s);
        Footprint f{0, 0, 0, 0};
        auto delta = [&](int to, int from, float& du, float& dv) {
            du = wrappedDelta(record[from].sourceU, record[to].sourceU, wraps);
            dv = record[to].sourceV - record[from].sourceV;
        };
        // One-sided differences at region borders: only probes of the sub-sample's own region.
        if (match[0] && match[2]) delta(0, 2, f.dux, f.dvx);
        else if (match[1] && match[3]) delta(1, 3, f.dux, f.dvx);
        if (match[0] && match[1]) delta(0, 1, f.duy, f.dvy);
        else if (match[2] && match[3]) delta(2, 3, f.duy, f.dvy);
        return f;
    }
};

// Neighbouring supersampled pixels share sub-sample positions: a pixel's right-hand column
// lies exactly where the next pixel of the row puts its left-hand column, and its bottom row
// where the pixel below puts its top row, with the same keys. Keeping that geometry lets the
// neighbour skip recomputing it. A kept record is reused only where computing it afresh
// would give the very same bits, and reuse leaves the footprint cache as the computation
// would have left it.
struct SharedEdgeMemo {
    struct Entry {
        float x, y;
        int32_t key;
        int32_t column;      // the pass column of the pixel that computed it
        bool readCache;      // the record may depend on the footprint cache
        bool rebuiltCache;   // the computation rebuilt the cache from its own position
        PixelRecord record;
        FootprintCacheState cache;  // the cache after it
        Highlight highlight;        // the record's shading, for the neighbour that reuses it
    };
    static constexpr int kColumnRows = 5;  // the 5 x 5 grid's column; line grids keep one
    // The previous pixel's right column and this pixel's, which trade places after each
    // pixel rather than being copied over (each entry is a few hundred bytes).
    Entry columns[2][kColumnRows];
    int leftSide = 0;
    int leftCount = 0, rightCount = 0;
    Entry* left() { return columns[leftSide]; }
    Entry* right() { return columns[1 - leftSide]; }
    std::vector<Entry> above, below;  // bottom rows of the row above and of this row, by column
    size_t aboveCursor = 0;

    void startRow() {
        above.swap(below);
        below.clear();
        aboveCursor = 0;
        leftCount = rightCount = 0;
    }
    void startPixel(int32_t column) {
        rightCount = 0;
        while (aboveCursor < above.size() && above[aboveCursor].column < column) ++aboveCursor;
    }
    void finishPixel() {
        leftSide = 1 - leftSide;
        leftCount = rightCount;
    }
    void skipPixel() { leftCount = rightCount = 0; }
};

// Whether `e` is exactly what pixelGeometry would compute now for its position and key.
bool reusable(const SharedEdgeMemo::Entry& e, const WaterState& s, float x, float y, int32_t key) {
    if (e.x != x || e.y != y || e.key != key) return false;
    if (!e.readCache) return true;  // a ray that never reached the water
    // Now the cache would either be rebuilt here, as it was for the entry, or read as it
    // stands, which must then hold what the entry read.
    return s.footprintKey != key ? e.rebuiltCache : holdsFootprintCache(s, e.cache);
}

// The cache as reusing `e` leaves it: as computing the entry's geometry did.
void takeCacheOf(WaterState& s, const SharedEdgeMemo::Entry& e) {
    // A record that read the cache left its own key there.
    if (e.readCache) setFootprintCache(s, e.cache);
}

const SharedEdgeMemo::Entry* findReusable(SharedEdgeMemo* memo, const WaterState& s, float x, float y,
                                          int32_t key, bool left, bool top, int32_t c) {
    if (!memo) return nullptr;
    if (left)
        for (int i = 0; i < memo->leftCount; ++i)
            if (reusable(memo->left()[i], s, x, y, key)) return &memo->left()[i];
    if (top)
        for (size_t i = memo->aboveCursor; i < memo->above.size() && memo->above[i].column == c; ++i)
            if (reusable(memo->above[i], s, x, y, key)) return &memo->above[i];
    return nullptr;
}

// Where a sub-sample sits on its pixel's grid, for the memo.
struct GridSide {
    bool left, right, top, bottom;
};

// Supersampling one pixel. Sub-sample geometry is traced several rays at a time: the
// footprint cache updates are made in sub-sample order first (that is all the order
// decides), then the rays are traced together. Probing a new region's footprint updates the
// cache between two sub-samples; the sub-samples traced ahead of it are then checked
// against the cache as it really stands and traced again only where it differs.
class Supersampler {
public:
    Supersampler(WaterState& s, SharedEdgeMemo* memo, int32_t c, int32_t r, const SampleGrid& g, int raysAtOnce)
        : s_(s), memo_(memo), c_(c), xHalf_(g.xHalf), yHalf_(g.yHalf), xStep_(g.xStep), yStep_(g.yStep),
          raysAtOnce_(std::clamp(raysAtOnce, 1, kWaveLanes)) {
        // The pixel covers record positions c - 1 .. c, so its centre is at c - 0.5.
        cx_ = static_cast<float>(c) - 0.5f;
        cy_ = static_cast<float>(r) - 0.5f;
        count_ = g.count();
    }

    Rgba run() {
        if (memo_) memo_->startPixel(c_);
        readFootprintCache(s_, truth_);
        double sumR = 0, sumG = 0, sumB = 0, sumA = 0;
        for (int k = 0; k < count_; ++k) {
            Sub& p = accept(k);
            PixelRecord& sub = p.record;
            const int region = regionOf(sub);
            int slot = 0;
            while (slot < cache_.count && cache_.region[slot] != region) ++slot;
            Footprint f;
            if (slot < cache_.count) {
                f = cache_.footprint[slot];
            } else {
                if (!probesTraced_) {
                    // The next sub-samples fill the probes' group; any traced ahead of the
                    // probes are traced again after them.
                    plan(k + 1, true);
                }
                // The probes follow the sub-sample in the cache's order.
                probesTraced_ = false;
                f = probes_.footprint(s_, sub);
                readFootprintCache(s_, truth_);
                synced_ = false;  // the sub-samples traced ahead now need checking
                if (cache_.count < 4) {
                    cache_.region[cache_.count] = region;
                    cache_.footprint[cache_.count++] = f;
                }
            }
            const Rgba col = shade(s_, sub, sampleSource(s_, sub.sourceU, sub.sourceV, f, sub), &p.highlight);
            if (memo_ && (p.side.right || p.side.bottom)) remember(p);
            const double a = col.a;
            sumR += col.r * a;
            sumG += col.g * a;
            sumB += col.b * a;
            sumA += a;
        }
        setFootprintCache(s_, truth_);
        if (memo_) memo_->finishPixel();
        if (!(sumA > 0)) return {0, 0, 0, 0};
        return {static_cast<float>(sumR / sumA), static_cast<float>(sumG / sumA), static_cast<float>(sumB / sumA),
                static_cast<float>(sumA / count_)};
    }

private:
    static constexpr int kMaxSubs = 25;
    struct Sub {
        float x, y;
        int32_t key;
        GridSide side;
        const SharedEdgeMemo::Entry* reused;  // taken from a neighbour instead of traced
        int task;                             // its slot in tasks_ when traced
        FootprintCacheState before, after;    // the cache around it, as planned
        PixelRecord record;
        Highlight highlight;                  // its shading's highlight, once known
    };

    void place(int k) {
        Sub& p = subs_[k];
        const int i = k % (2 * xHalf_ + 1) - xHalf_, j = k / (2 * xHalf_ + 1) - yHalf_;
        p.x = cx_ + i * xStep_;
        p.y = cy_ + j * yStep_;
        p.key = pixelKey(static_cast<int32_t>(p.x), static_cast<int32_t>(p.y));
        p.side = GridSide{i == -xHalf_, i == xHalf_, j == -yHalf_, j == yHalf_};
    }

    // Plans and traces sub-samples from `from` on, from the cache as it truly stands there,
    // until a group of rays is full. The first sub-sample of a pixel always meets a new
    // region, so its footprint probes are traced right after it, in the same group.
    // With `probesFirst`, the probes of sub-sample from - 1 lead the group. Sub-samples after
    // probes are planned as if all four probes left their mark on the cache, and are checked
    // once the probes' results tell.
    void plan(int from, bool probesFirst = false) {
        setFootprintCache(s_, truth_);
        int tasks = 0;
        if (probesFirst) {
            probes_.begin(s_, tasks_, subs_[from - 1].x, subs_[from - 1].y);
            tasks = 4;
            probesTraced_ = true;
        }
        planned_ = from;
        bool speculative = probesFirst;
        while (planned_ < count_ && tasks < raysAtOnce_) {
            Sub& p = subs_[planned_];
            place(planned_);
            readFootprintCache(s_, p.before);
            p.reused = findReusable(memo_, s_, p.x, p.y, p.key, p.side.left, p.side.top, c_);
            p.task = -1;
            if (p.reused) {
                p.record = p.reused->record;
                p.highlight = p.reused->highlight;
                takeCacheOf(s_, *p.reused);
            } else {
                p.highlight = {0, false};
                p.task = tasks;
                beginGeometry(s_, tasks_[tasks++], p.record, p.x, p.y, p.key);
            }
            readFootprintCache(s_, p.after);
            if (planned_++ == 0 && tasks + 4 <= raysAtOnce_) {
                // The first sub-sample always meets a new region: its probes come next.
                probes_.begin(s_, tasks_ + tasks, p.x, p.y);
                tasks += 4;
                probesTraced_ = speculative = true;
            }
        }
        finishGeometry(s_, tasks_, tasks);
        synced_ = !speculative;
    }

    // Whether planned sub-sample k still holds under the true cache; leaves the cache as
    // the sub-sample would.
    bool stillHolds(int k) {
        Sub& p = subs_[k];
        // Planned from the very cache it now meets: nothing to redo.
        if (sameFootprintCache(p.before, truth_)) return true;
        setFootprintCache(s_, truth_);
        p.before = truth_;
        if (p.reused) {
            if (!reusable(*p.reused, s_, p.x, p.y, p.key)) return false;
            takeCacheOf(s_, *p.reused);
        } else {
            GeometryTask check;
            PixelRecord scratch;
            beginGeometry(s_, check, scratch, p.x, p.y, p.key);
            if (check.usesCache && !sameFootprintCache(check.cache, tasks_[p.task].cache)) return false;
        }
        readFootprintCache(s_, p.after);
        return true;
    }

    // Sub-sample k with its final record; keeps the true cache up to date. The caller hands
    // it to the memo once shaded, so the neighbour reusing the record reuses its highlight.
    Sub& accept(int k) {
        if (k >= planned_ || (!synced_ && !stillHolds(k))) plan(k);
        Sub& p = subs_[k];
        truth_ = p.after;
        return p;
    }

    // The memo's entry for sub-sample p, written straight into `out` rather than through a
    // temporary: the entries are large and this runs for every edge sub-sample.
    void describe(const Sub& p, SharedEdgeMemo::Entry& out) const {
        if (p.reused) {
            out = *p.reused;
        } else {
            // A ray that reaches the water always leaves its key in the cache; one that left
            // the key unchanged from a different one never looked at it.
            const bool fresh = p.before.key != p.key;
            out.readCache = !fresh || p.after.key == p.key;
            out.rebuiltCache = fresh && p.after.key == p.key;
            out.x = p.x;
            out.y = p.y;
            out.key = p.key;
            out.record = p.record;
            out.cache = p.after;
        }
        out.highlight = p.highlight;
        out.column = c_;
    }

    void remember(const Sub& p) {
        const SharedEdgeMemo::Entry* kept = nullptr;
        if (p.side.right && memo_->rightCount < SharedEdgeMemo::kColumnRows) {
            SharedEdgeMemo::Entry& e = memo_->right()[memo_->rightCount++];
            describe(p, e);
            kept = &e;
        }
        if (p.side.bottom) {
            try {
                if (kept) {
                    memo_->below.push_back(*kept);
                } else {
                    memo_->below.emplace_back();
                    describe(p, memo_->below.back());
                }
            } catch (const std::bad_alloc&) {
                // Without room the row below simply recomputes this geometry.
            }
        }
    }

    WaterState& s_;
    SharedEdgeMemo* memo_;
    int32_t c_;
    int xHalf_, yHalf_;
    float xStep_, yStep_, cx_ = 0, cy_ = 0;
    int raysAtOnce_;
    int count_ = 0;
    int planned_ = 0;      // sub-samples below this are planned and traced
    bool synced_ = true;   // their planned cache states are still the true ones
    FootprintCacheState truth_{};
    FootprintCache cache_;
    Probes probes_;
    bool probesTraced_ = false;  // probes_ already hold the next sub-sample's probes
    Sub subs_[kMaxSubs];
    GeometryTask tasks_[kWaveLanes];
};

Rgba supersample(WaterState& s, int32_t c, int32_t r, const SampleGrid& g, SharedEdgeMemo* memo, int raysAtOnce) {
    Supersampler sampler(s, memo, c, r, g, raysAtOnce);
    return sampler.run();
}

int edgeFlags(const GridView& g, int32_t c, int32_t r) {
    const PixelRecord& pix = g.at(c, r);
    const PixelRecord& left = g.at(c - 1, r);
    const PixelRecord& up = g.at(c, r - 1);
    const PixelRecord& ul = g.at(c - 1, r - 1);
    auto differs = [](const PixelRecord& a, const PixelRecord& b) {
        return std::fabs(a.luminance - b.luminance) > 0.05f || !sameRegion(a, b);
    };
    int flags = 0;
    if (differs(left, pix) || differs(ul, up)) flags |= 1;
    if (differs(up, pix) || differs(ul, left)) flags |= 2;
    return flags;
}

}  // namespace

SampleGrid chooseSampleGrid(WaterState& s, PixelRecord* grid, int32_t c, int32_t r, PassMode mode) {
    constexpr SampleGrid kSingle{0, 0, 0, 0}, kAcross{8, 0, 1.0f / 16, 0}, kDown{0, 8, 0, 1.0f / 16},
        kSquare{2, 2, 0.25f, 0.25f};
    if (mode != PassMode::kFinal) return kSingle;  // previews stay fast: never supersampled
    const GridView g = viewOf(s, grid);
    switch (edgeFlags(g, c, r)) {
        case 1: return kAcross;
        case 2: return kDown;
        case 3: return kSquare;
        default: break;
    }
    // Smooth neighbourhood: an edge can still cross the pixel's middle between records.
    PixelRecord probe;
    pixelGeometry(s, probe, static_cast<float>(c) - 0.5f, static_cast<float>(r) - 0.5f, pixelKey(c, r));
    return sameRegion(probe, g.at(c, r)) ? kSingle : kSquare;
}

namespace {

Rgba renderPixelWith(WaterState& s, PixelRecord* grid, int32_t c, int32_t r, SharedEdgeMemo* memo, int raysAtOnce) {
    const GridView g = viewOf(s, grid);
    const SampleGrid sg = chooseSampleGrid(s, grid, c, r, s.passMode);
    if (sg.count() == 1) {
        if (memo) memo->skipPixel();
        return premultiplyRoundTrip(areaSample(s, g, c, r));
    }
    return supersample(s, c, r, sg, memo, raysAtOnce);
}

}  // namespace

Rgba renderPixel(WaterState& s, PixelRecord* grid, int32_t c, int32_t r) {
    return renderPixelWith(s, grid, c, r, nullptr, kWaveLanes);
}

Rgba renderPixelOneRayAtATime(WaterState& s, PixelRecord* grid, int32_t c, int32_t r) {
    return renderPixelWith(s, grid, c, r, nullptr, 1);
}

void luminancePass(WaterState& s, PixelRecord* grid) {
    const TileRect& j = s.job;
    const size_t count = gridRecordCount(j.right - j.left, j.bottom - j.top);
    for (size_t i = 0; i < count; ++i) {
        float rgba[4] = {0, 0, 0, 0};
        shadeWater(rgba, s, grid[i], kShadeWhite);
    }
}

void outputPass(WaterState& s, PixelRecord* grid) {
    const GridView g = viewOf(s, grid);
    SharedEdgeMemo memo;
    for (int32_t r = s.job.top; r < s.job.bottom; ++r) {
        memo.startRow();
        for (int32_t c = s.job.left; c < s.job.right; ++c) {
            Rgba col = renderPixelWith(s, grid, c, r, &memo, kWaveLanes);
            float* out = g.at(c, r).colour;
            out[0] = std::isnan(col.r) ? 0 : col.r;
            out[1] = std::isnan(col.g) ? 0 : col.g;
            out[2] = std::isnan(col.b) ? 0 : col.b;
            out[3] = std::isnan(col.a) ? 0 : col.a;
            if (s.renderMode == kRenderPreview) applyPreviewOverlay(s, g.at(c, r), c, r);
        }
    }
}

}  // namespace tw
