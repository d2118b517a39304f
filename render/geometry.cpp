// Reflection and perspective of both styles, and the plane mapping they share.
#include "render/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "render/noise.h"
#include "render/shading.h"

namespace tw {
namespace {

constexpr double kPi = 3.141592653589793;

inline Vec3 reflect(const Vec3& d, const Vec3& n) {
    const double k = 2 * (d.x * n.x + d.y * n.y + d.z * n.z);
    return {d.x - k * n.x, d.y - k * n.y, d.z - k * n.z};
}

inline void store(double (&out)[3], const Vec3& v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

void setSource(PixelRecord& rec, const Plane2& uv) {
    rec.sourceU = static_cast<float>(uv.x);
    rec.sourceV = static_cast<float>(uv.y);
}

void markDry(const WaterState& s, PixelRecord& rec, double x, double y, int32_t kind) {
    rec.kind = kind;
    rec.weight = 1;
    setSource(rec, planeToImage(s, x, y));
}

// Complex land and sky: the view ray goes through the same camera as the reflections, so
// that near the picture's sides, where the camera bends steep rays, land and reflection
// bend alike and still meet at the waterline. Where the camera maps a ray back to its own
// plane point (d.z >= 0.5) the pixel's own position is taken as it is, rounding and all.
void markComplexDry(const WaterState& s, PixelRecord& rec, const Vec3& d, double x, double y) {
    if (d.z >= 0.5) {
        markDry(s, rec, x, y, kKindComplexDry);
        return;
    }
    const Plane2 a = projectDirection(s, d);
    markDry(s, rec, a.x, s.horizonY + a.y, kKindComplexDry);
}

// ---- Simple style --------------------------------------------------------------------------

// Everything up to the displacement: where on the water the pixel lies. False for a dry
// pixel, whose record is then complete.
bool beginSimple(const WaterState& s, GeometryTask& task, PixelRecord& rec, double x, double y) {
    if (y <= s.waterlineY) {
        markDry(s, rec, x, y, kKindDry);
        return false;
    }
    const double E = s.aspect;

    // Where this pixel lies on the water: further away the nearer it is to the horizon.
    const double m = y + 0.0001 - s.horizonY;
    const float J = static_cast<float>(m / E);
    task.flatJ = J;
    task.flatX = static_cast<float>(s.flatSlopeX * x * 2 / J);
    task.flatZ = s.altitudeScale / J;
    return true;
}

// The rest, given the fractal displacement of the reflection at (flatX, flatZ).
void finishSimple(const WaterState& s, const GeometryTask& task, const Displacement& d) {
    PixelRecord& rec = *task.record;
    const double x = task.planeX, y = task.planeY;
    const double E = s.aspect;
    const float J = task.flatJ, wx = task.flatX, wz = task.flatZ;
    const float dx = d.dx * s.wavinessFraction, dz = d.dz * s.wavinessFraction;

    // Ripples round the marker. Most pixels lie outside all nine, so their distances are
    // measured four at a time first (the same float steps as one at a time).
    float sx = 0, sz = 0;
    if (s.rippleSpread > 0) {
        typedef float f32x4 __attribute__((vector_size(16)));
        typedef int32_t i32x4 __attribute__((vector_size(16)));
        const float nan = std::numeric_limits<float>::quiet_NaN();  // a ripple nothing lies inside
        const f32x4 rippleX[3] = {{s.rippleX[0], s.rippleX[1], s.rippleX[2], s.rippleX[3]},
                                  {s.rippleX[4], s.rippleX[5], s.rippleX[6], s.rippleX[7]},
                                  {s.rippleX[8], nan, nan, nan}};
        const f32x4 rippleY[3] = {{s.rippleY[0], s.rippleY[1], s.rippleY[2], s.rippleY[3]},
                                  {s.rippleY[4], s.rippleY[5], s.rippleY[6], s.rippleY[7]},
                                  {s.rippleY[8], nan, nan, nan}};
        float distance[12];
        unsigned inside = 0;  // bit k: the pixel lies inside ripple k
        for (int q = 0; q < 3; ++q) {
            const f32x4 a = (wz - (rippleY[q] + s.flatRippleCentreZ)) * s.rippleSpreadInv;
            const f32x4 b = (wx - (rippleX[q] + s.flatRippleCentreX)) * s.rippleSpreadInv;
            const f32x4 d2 = a * a + b * b;
            const i32x4 near = d2 < 1.0f;  // false for NaN, as the one-at-a-time test
            inside |= unsigned((near[0] & 1) | (near[1] & 2) | (near[2] & 4) | (near[3] & 8)) << (4 * q);
            std::memcpy(distance + 4 * q, &d2, sizeof d2);
        }
        for (int k = 0; k < 9 && inside != 0; ++k) {
            if (!(inside >> k & 1)) continue;
            const float d2 = distance[k];
            const float r = std::sqrt(d2);
            const double phi = r * kPi * s.rippleFrequency;
            const float f = (1 - r) * 0.7f;
            const float S = f * f * 2.0408163f;
            sx += static_cast<float>(std::sin(phi) * S * s.rippleHeight);
            sz += static_cast<float>(std::cos(phi) * S * s.rippleHeight);
        }
    }

    // Mirror about the waterline; a displacement that would lift the reflection above the
    // waterline is folded back so land never shows below its own reflection.
    const double xr = (sx + dx) * J + x;
    const double N = (sz + dz) * J;
    double yr = 2.0 * s.waterlineY - y + N;
    if (yr > s.waterlineY) yr = s.waterlineY - (yr - s.waterlineY);

    // Share of the reflection: fades with depth, brightened by Brilliance.
    const float invE = s.invAspect;
    const double M = std::clamp((y - s.horizonY) * invE / s.fadeDepth, 0.0, 1.0);
    const double K = (0.5 - 0.5 * M) * (0.5 - 0.5 * M) + s.reflectionLift;
    const double A = K < 0.5 ? 2 * K : 1;
    const double B = K >= 0.5 ? 1 - 2 * (K - 0.5) : 1;
    rec.weight = static_cast<float>(std::clamp((invE * 5 * N - J * 2 * s.perspectiveFactor) * B * E + A, 0.0, 1.0));

    rec.blurRadius = static_cast<float>((y - s.waterlineY) * s.flatBlurSlope / s.flatBlurDepth);
    rec.kind = kKindSimpleWater;
    setSource(rec, planeToImage(s, xr, yr));
}

// ---- Complex style -------------------------------------------------------------------------

// Octave weights and roughness for the pixel's footprint: octaves finer than the pixel can
// resolve are faded out and their slope variance moves into the glitter's roughness.
void updateFootprintFilter(WaterState& s, const Vec3& d, double x, double yb, int32_t key) {
    if (key == s.footprintKey) return;
    s.footprintKey = key;
    const Vec3 d2 = viewDirection(s, x, yb + s.pixelSize);
    // A level neighbour ray gives no depth difference to measure; treat the footprint as huge.
    const double F = d2.y != 0 ? std::fabs(d.z - d2.z * d.y / d2.y) : 1e6;
    double f = 0.16, vx = 0, vz = 0;
    for (int k = 0; k < 5; ++k) {
        s.octaveWeight[k] = 0.2 + 0.4 * erfcApprox((f * F - 1.25) * 0.5);
        const double lost = (1 - s.octaveWeight[k]) * (1 - s.octaveWeight[k]);
        vx += lost * s.slopeVarianceX[k];
        vz += lost * s.slopeVarianceZ[k];
        f *= 2.47;
    }
    s.cachedRoughness[0] = std::max(vx, 0.04);
    s.cachedRoughness[1] = std::max(vz, 0.04);
    // The footprint spreads by the unresolved slopes themselves; the 0.04 floor above only
    // keeps the glitter's highlight from becoming a needle.
    s.cachedSlopeSigma[0] = std::sqrt(std::max(vx, 1e-8));
    s.cachedSlopeSigma[1] = std::sqrt(std::max(vz, 1e-8));
}

Plane2 sourceOfReflection(const WaterState& s, const Plane2& a) {
    return planeToImage(s, a.x, s.horizonY + a.y + 2.0 * (s.waterlineY - s.horizonY));
}

// Footprint derivatives: how far the source point moves when the normal tilts by one
// standard deviation of the slopes the pixel cannot resolve.
void footprintDerivatives(const WaterState& s, PixelRecord& rec, const Vec3& d, const Vec3& n, const Plane2& a0,
                          const double* sigma) {
    const Plane2 base = sourceOfReflection(s, a0);
    float out[4];
    for (int axis = 0; axis < 2; ++axis) {
        const double ta = axis == 0 ? 0.01 : 0, tb = axis == 0 ? 0 : 0.01;
        const double len = std::sqrt(ta * ta + 1 + tb * tb);
        const double tx = -ta / len, ty = 1 / len, tz = -tb / len;
        const Vec3 tilted{n.x * ty + tx, n.y * ty, n.z * ty + tz};
        Vec3 r = reflect(d, tilted);
        r.y = std::fabs(r.y);
        const Plane2 src = sourceOfReflection(s, projectDirection(s, r));
        const double scale = 100 * sigma[axis];
        out[2 * axis] = static_cast<float>((src.x - base.x) * scale);
        out[2 * axis + 1] = static_cast<float>((src.y - base.y) * scale);
    }
    const double l0 = out[0] * out[0] + out[1] * out[1], l1 = out[2] * out[2] + out[3] * out[3];
    const double longest = std::max(l0, l1);
    if (longest > 0.2025) {
        const float k = static_cast<float>(0.45 / std::sqrt(longest));
        for (float& v : out) v *= k;
    }
    for (int i = 0; i < 4; ++i) rec.footprint[i] = std::isfinite(out[i]) ? out[i] : 0.0f;
    rec.hasFootprint = 1;
}

// Wave heights of any number of points, each traced with its own task's octave weights,
// in groups of as many lanes as the kernel takes.
struct HeightQueue {
    const WaterState& s;
    int octaves;
    WaveLanes lanes;
    double* results[kWaveLanes];

    void add(double x, double y, double z, const double* weight, double* result) {
        const int i = lanes.count++;
        lanes.x[i] = x;
        lanes.y[i] = y;
        lanes.z[i] = z;
        lanes.weight[i] = weight;
        results[i] = result;
        if (lanes.count == kWaveLanes) flush();
    }
    void flush() {
        if (lanes.count == 0) return;
        double out[kWaveLanes];
        waveHeightLanes(s, lanes, octaves, out);
        for (int i = 0; i < lanes.count; ++i) *results[i] = out[i];
        lanes.count = 0;
    }
};

// The point at parameter t along the ray from the eye in direction d.
inline Vec3 rayPoint(const WaterState& s, const Vec3& d, double t) {
    const Vec3 eye{0, s.eyeHeight, 0};
    return {eye.x + t * d.x, eye.y + t * d.y, eye.z + t * d.z};
}

// The state of one ray's search for the wave surface: false position inside the slab of
// heights -1.5..1.5.
struct RaySearch {
    double t0, t1, F0, F1, Ft, t;
    bool searching;  // still narrowing the bracket
    bool hit;
};

// Intersects the rays of the tasks with the wave field, all rays stepping together. A ray
// that never reaches the surface inside the slab is no hit.
void intersectWaves(const WaterState& s, GeometryTask* const* rays, int count, RaySearch* search) {
    const Vec3 eye{0, s.eyeHeight, 0};
    HeightQueue q{s, 4, {}, {}};
    auto point = [&](int i, double t, double* result) {
        const Vec3 p = rayPoint(s, rays[i]->direction, t);
        q.add(p.x, p.y, p.z, rays[i]->cache.octaveWeight, result);
    };
    for (int i = 0; i < count; ++i) {
        RaySearch& r = search[i];
        const Vec3& d = rays[i]->direction;
        r.t0 = -(eye.y - 1.5) / d.y;
        r.t1 = -(eye.y + 1.5) / d.y;
        point(i, r.t0, &r.F0);
        point(i, r.t1, &r.F1);
    }
    q.flush();
    bool any = false;
    for (int i = 0; i < count; ++i) {
        RaySearch& r = search[i];
        r.hit = r.searching = false;
        if (!(r.F1 <= 0)) continue;  // even the deep end is above the surface (or not a number)
        if (!(r.F0 > 0)) {           // already under a crest where the ray enters the slab
            r.t = r.t0;
            r.hit = true;
            continue;
        }
        r.searching = any = true;
    }
    for (int step = 0; step < 5 && any; ++step) {
        for (int i = 0; i < count; ++i) {
            RaySearch& r = search[i];
            if (!r.searching) continue;
            r.t = r.F0 / (r.F0 - r.F1) * (r.t1 - r.t0) + r.t0;
            point(i, r.t, &r.Ft);
        }
        q.flush();
        for (int i = 0; i < count; ++i) {
            RaySearch& r = search[i];
            if (!r.searching) continue;
            if (r.Ft >= 0) {
                r.t0 = r.t;
                r.F0 = r.Ft;
            } else {
                r.t1 = r.t;
                r.F1 = r.Ft;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        RaySearch& r = search[i];
        if (!r.searching) continue;
        r.t = r.F0 / (r.F0 - r.F1) * (r.t1 - r.t0) + r.t0;
        r.hit = std::isfinite(r.t);
    }
}

// Unit surface normals at up to kWaveLanes hit points, by forward differences of the 5-octave height
// (x stepped forwards, z backwards); (0, 0, 0) where degenerate.
void surfaceNormals(const WaterState& s, GeometryTask* const* rays, const Vec3* hits, int count, Vec3* normals) {
    HeightQueue q{s, 5, {}, {}};
    double heights[kWaveLanes][3];
    for (int i = 0; i < count; ++i) {
        const Vec3& h = hits[i];
        const double* w = rays[i]->cache.octaveWeight;
        q.add(h.x, h.y, h.z, w, &heights[i][0]);
        q.add(h.x + kNormalStep, h.y, h.z, w, &heights[i][1]);
        q.add(h.x, h.y, h.z - kNormalStep, w, &heights[i][2]);
    }
    q.flush();
    for (int i = 0; i < count; ++i) normals[i] = normalFromHeights(hits[i].y, heights[i][0], heights[i][1], heights[i][2]);
}

void beginComplex(WaterState& s, GeometryTask& task, PixelRecord& rec, double x, double y) {
    const double yb = y - s.horizonY;
    const Vec3 d = viewDirection(s, x, yb);
    rec.kind = kKindComplexTracing;
    store(rec.viewDirection, d);
    store(rec.reversedView, {-d.x, -d.y, -d.z});
    task.direction = d;
    task.usesCache = d.y < 0;
    if (task.usesCache) {
        updateFootprintFilter(s, d, x, yb, rec.key);
        rec.roughness[0] = s.cachedRoughness[0];
        rec.roughness[1] = s.cachedRoughness[1];
    }
    readFootprintCache(s, task.cache);
}

// Whether a ray meets the water, wherever it does, beyond the waterline distance. The hit
// can only lie at or past the point where the ray enters the slab of wave heights (false
// position never moves below the bracket's near end), so such a ray needs no tracing: its
// depth there already decides that it is dry.
bool beyondWaterline(const WaterState& s, const Vec3& d) {
    if (!(d.z > 0)) return false;
    const double entry = -(s.eyeHeight - 1.5) / d.y;
    return d.z * entry > s.waterlineDistance;
}

// What a wet ray makes of its hit: reflection, footprint and source point.
void finishWet(const WaterState& s, GeometryTask& task, const Vec3& hit, const Vec3& n) {
    PixelRecord& rec = *task.record;
    const Vec3& d = task.direction;
    const Vec3 eye{0, s.eyeHeight, 0};
    Vec3 r = reflect(d, n);
    r.y = std::fabs(r.y);  // a reflection into the water is seen as its mirror above it
    const Plane2 a = projectDirection(s, r);
    rec.kind = kKindComplexWater;
    store(rec.hitPoint, hit);
    store(rec.hitNormal, n);
    store(rec.eyeToHit, {hit.x - eye.x, hit.y - eye.y, hit.z - eye.z});
    rec.weight = 1;
    // Blur grows towards the bottom of the picture; never negative, which would sharpen.
    rec.blurRadius = static_cast<float>(std::max(0.0, s.waveBlurScale * (task.planeY / s.aspect)));
    footprintDerivatives(s, rec, d, n, a, task.cache.slopeSigma);
    setSource(rec, sourceOfReflection(s, a));
}

// Source flags every record gets last, whatever its style.
void finishRecord(PixelRecord& rec) {
    if (!std::isfinite(rec.sourceU) || !std::isfinite(rec.sourceV)) {
        // Only reachable through extreme geometry; a pixel with no source is left transparent.
        rec.sourceU = rec.sourceV = -1;
    }
    rec.outside = (rec.sourceU < 0 || rec.sourceU > 1 || rec.sourceV < 0 || rec.sourceV > 1) ? 1 : 0;
}

// Traces up to kWaveLanes begun Complex rays together.
void finishComplexGroup(const WaterState& s, GeometryTask* const* rays, int count) {
    RaySearch search[kWaveLanes];
    intersectWaves(s, rays, count, search);
    GeometryTask* wet[kWaveLanes] = {};
    Vec3 hits[kWaveLanes] = {}, normals[kWaveLanes];
    int wetCount = 0;
    for (int i = 0; i < count; ++i) {
        GeometryTask& task = *rays[i];
        const Vec3& d = task.direction;
        if (search[i].hit && d.z * search[i].t <= s.waterlineDistance) {
            hits[wetCount] = rayPoint(s, d, search[i].t);
            wet[wetCount++] = &task;
        } else {
            // Water beyond the waterline: the picture shows through, as land does.
            markComplexDry(s, *task.record, d, task.planeX, task.planeY);
            finishRecord(*task.record);
        }
    }
    if (wetCount > 0) surfaceNormals(s, wet, hits, wetCount, normals);
    for (int i = 0; i < wetCount; ++i) {
        finishWet(s, *wet[i], hits[i], normals[i]);
        finishRecord(*wet[i]->record);
    }
}

// Finishes up to kWaveLanes begun Simple positions, their displacements taken together.
void finishSimpleGroup(const WaterState& s, GeometryTask* const* tasks, int count) {
    Displacement d[kWaveLanes];
    if (count == 1) {
        // One position alone takes all its octaves' noise in one batch instead.
        d[0] = flatDisplacement(*s.noise, tasks[0]->flatX, tasks[0]->flatZ, s.displacementOctaves);
    } else {
        float x[kWaveLanes] = {}, z[kWaveLanes] = {};
        for (int i = 0; i < count; ++i) {
            x[i] = tasks[i]->flatX;
            z[i] = tasks[i]->flatZ;
        }
        flatDisplacementLanes(*s.noise, x, z, count, s.displacementOctaves, d);
    }
    for (int i = 0; i < count; ++i) {
        finishSimple(s, *tasks[i], d[i]);
        finishRecord(*tasks[i]->record);
    }
}

void resetRecord(PixelRecord& rec, int32_t key) {
    rec.key = key;
    rec.kind = kKindDry;
    rec.sourceU = rec.sourceV = -1;
    rec.weight = 1;
    for (int i = 0; i < 3; ++i)
        rec.hitPoint[i] = rec.hitNormal[i] = rec.viewDirection[i] = rec.eyeToHit[i] = rec.reversedView[i] = -1;
    rec.roughness[0] = rec.roughness[1] = 0;
    rec.hasFootprint = 0;
    for (float& f : rec.footprint) f = 0;
    rec.outside = 0;
    rec.blurRadius = 0;
}

}  // namespace

Vec3 viewDirection(const WaterState& s, double x, double yBelowHorizon) {
    const double y = -yBelowHorizon, z = s.focal;
    const double len = std::sqrt(x * x + y * y + z * z);
    return {x / len, y / len, z / len};
}

Plane2 projectDirection(const WaterState& s, const Vec3& r) {
    const double z = r.z;
    double f;
    if (z >= 0.5) f = 1 / z;
    else if (z < -0.5) f = -1 / z;
    else if (z >= 0) f = 4 - 4 * z;
    else f = 4 + 4 * z;
    return {s.focal * r.x * f, -s.focal * r.y * f};
}

void setFootprintCache(WaterState& s, const FootprintCacheState& c) {
    s.footprintKey = c.key;
    for (int k = 0; k < 5; ++k) s.octaveWeight[k] = c.octaveWeight[k];
    for (int k = 0; k < 2; ++k) s.cachedRoughness[k] = c.roughness[k];
    for (int k = 0; k < 2; ++k) s.cachedSlopeSigma[k] = c.slopeSigma[k];
}

bool sameFootprintCache(const FootprintCacheState& a, const FootprintCacheState& b) {
    return a.key == b.key && std::memcmp(a.octaveWeight, b.octaveWeight, sizeof a.octaveWeight) == 0 &&
           std::memcmp(a.roughness, b.roughness, sizeof a.roughness) == 0 &&
           std::memcmp(a.slopeSigma, b.slopeSigma, sizeof a.slopeSigma) == 0;
}

bool holdsFootprintCache(const WaterState& s, const FootprintCacheState& c) {
    return c.key == s.footprintKey && std::memcmp(c.octaveWeight, s.octaveWeight, sizeof c.octaveWeight) == 0 &&
           std::memcmp(c.roughness, s.cachedRoughness, sizeof c.roughness) == 0 &&
           std::memcmp(c.slopeSigma, s.cachedSlopeSigma, sizeof c.slopeSigma) == 0;
}

namespace {

void beginPlane(WaterState& s, GeometryTask& task, PixelRecord& rec, double x, double y) {
    task.record = &rec;
    task.planeX = rec.planeX = x;
    task.planeY = rec.planeY = y;
    task.usesCache = false;
    task.done = true;
    task.flat = false;
    if (s.styleMode != 2) {
        if (beginSimple(s, task, rec, x, y)) {
            task.done = false;
            task.flat = true;
            return;
        }
    } else {
        beginComplex(s, task, rec, x, y);
        if (task.usesCache && !beyondWaterline(s, task.direction)) {
            task.done = false;
            return;
        }
        // Sky, or water beyond the waterline: the picture shows through, as land does.
        markComplexDry(s, rec, task.direction, x, y);
    }
    finishRecord(rec);
}

}  // namespace

void beginGeometry(WaterState& s, GeometryTask& task, PixelRecord& rec, float column, float row, int32_t key) {
    resetRecord(rec, key);
    // Record positions sit half a pixel past the pixel centre, so the 2 x 2 block of a
    // pixel's record and its left and upper neighbours spans exactly that pixel.
    const float X = static_cast<float>(s.previewStep) * column + static_cast<float>(s.panX) + 0.5f;
    const float Y = static_cast<float>(s.previewStep) * row + static_cast<float>(s.panY) + 0.5f;
    const double u = (2.0 * X + 1) * 0.5 / s.imageWidth;
    const double v = (2.0 * Y + 1) * 0.5 / s.imageHeight;
    const Plane2 p = imageToPlane(s, u, v);
    beginPlane(s, task, rec, p.x, p.y);
}

void finishGeometry(const WaterState& s, GeometryTask* tasks, int count) {
    GeometryTask* group[kWaveLanes];
    GeometryTask* flat[kWaveLanes];
    int n = 0, m = 0;
    for (int i = 0; i < count; ++i) {
        if (tasks[i].done) continue;
        tasks[i].done = true;
        if (tasks[i].flat) {
            flat[m++] = &tasks[i];
            if (m == kWaveLanes) {
                finishSimpleGroup(s, flat, m);
                m = 0;
            }
            continue;
        }
        group[n++] = &tasks[i];
        if (n == kWaveLanes) {
            finishComplexGroup(s, group, n);
            n = 0;
        }
    }
    if (n > 0) finishComplexGroup(s, group, n);
    if (m > 0) finishSimpleGroup(s, flat, m);
}

void planeGeometry(WaterState& s, PixelRecord& rec, double x, double y) {
    GeometryTask task;
    beginPlane(s, task, rec, x, y);
    finishGeometry(s, &task, 1);
}

void pixelGeometry(WaterState& s, PixelRecord& rec, float column, float row, int32_t key) {
    GeometryTask task;
    beginGeometry(s, task, rec, column, row, key);
    finishGeometry(s, &task, 1);
}

void geometryPass(WaterState& s, PixelRecord* grid) {
    const TileRect& j = s.job;
    const int32_t stride = j.right - j.left + 2;
    GeometryTask tasks[kWaveLanes];
    int n = 0;
    for (int32_t r = j.top - 1; r <= j.bottom; ++r) {
        PixelRecord* row = grid + static_cast<ptrdiff_t>(r - j.top + 1) * stride;
        for (int32_t c = j.left - 1; c <= j.right; ++c) {
            beginGeometry(s, tasks[n++], row[c - j.left + 1], static_cast<float>(c), static_cast<float>(r),
                          pixelKey(c, r));
            if (n == kWaveLanes) {
                finishGeometry(s, tasks, n);
                n = 0;
            }
        }
    }
    finishGeometry(s, tasks, n);
}

}  // namespace tw
