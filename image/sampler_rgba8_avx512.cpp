// The footprint sampler's tap loop for 8-bit pictures once more, built with AVX-512 allowed:
// sampler_rgba8_wide.cpp holds the code, and TW_SAMPLER_AVX512_TAPS picks this build's
// parts (the 512-bit row pass) and leaves out those built there already.
// GCC 12 takes the deliberately undefined upper halves inside the 512-bit intrinsics
// (widening casts, broadcasts) for values used before they are set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define TW_SAMPLER_AVX512_TAPS 1
#include "image/sampler_rgba8_wide.cpp"
