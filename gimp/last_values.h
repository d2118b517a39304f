// The last values: what the dialog opens with and what Filters > Repeat renders.
//
// The plug-in's cached settings file is what every applied run leaves for the next one, in
// GIMP, from the command line and in other editors alike. Its format keeps the light to
// hundredths and the ripple centre to 1/65536, so by itself it cannot repeat a run exactly.
// Beside it the front end keeps "Tarnwell GIMP last values": the exact values of its own
// last run with a fingerprint of the cache file that run left. While the cache file still
// has that fingerprint, no other run came in between and the exact values are the last
// values; once another run has rewritten the cache, the cache's values are.
#pragma once

#include "params/render_params.h"

namespace tw::gimp {

// After an applied run (the plug-in has just written its cache): keeps `params` exactly.
// False when the file cannot be written; the cache alone then serves.
bool SaveLastValues(const RenderParams& params);

enum class LastValues : uint8_t {
    kNone,    // no run yet: `params` is left alone
    kCached,  // the cache's (rounded) values, from a run this front end did not make
    kExact,   // this front end's last run, exactly
};
LastValues LoadLastValues(RenderParams& params);

}  // namespace tw::gimp
