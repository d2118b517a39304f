// Builds the resampling kernel table as a constant expression, so it exists before any
// thread runs and nobody ever fills it lazily.
#include "image/resample_kernel.h"

namespace tw {
namespace {

constexpr double kPi = 3.141592653;  // the value the table has always been built with

// sin for |x| up to a few periods; accurate to about 1e-15, which is far below the
// float and integer rounding of the table.
constexpr double ConstSin(double x) {
    constexpr double kTwoPi = 2.0 * 3.14159265358979323846;
    while (x > 3.14159265358979323846) x -= kTwoPi;
    while (x < -3.14159265358979323846) x += kTwoPi;
    double term = x, sum = x;
    for (int n = 1; n < 14; ++n) {
        term *= -x * x / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr double Sinc(double x) {
    if (x == 0.0) return 1.0;
    return ConstSin(kPi * x) / (kPi * x);
}

constexpr double Lanczos2(double x) {
    if (x <= -2.0 || x >= 2.0) return 0.0;
    return Sinc(x) * Sinc(x / 2.0);
}

constexpr double RawWeight(double phase, int tap) {
    double sum = 0.0;
    for (int j = 0; j < 20; ++j) sum += Lanczos2(phase - 2.0 + tap - j / 21.0);
    return sum;
}

constexpr int32_t RoundToInt(double x) {
    return x >= 0.0 ? int32_t(x + 0.5) : -int32_t(-x + 0.5);
}

constexpr ResampleKernel BuildKernel() {
    ResampleKernel table{};
    for (int i = 0; i < kKernelPhases; ++i) {
        double raw[kKernelTaps] = {};
        double total = 0.0;
        for (int k = 0; k < kKernelTaps; ++k) {
            raw[k] = RawWeight(i / double(kKernelPhases), k);
            total += raw[k];
        }
        float float_sum = 0.0f;
        int32_t sum2048 = 0, sum32768 = 0;
        for (int k = 0; k < kKernelTaps - 1; ++k) {
            double w = raw[k] / total;
            table.weights[i][k] = float(w);
            table.weights2048[i][k] = RoundToInt(w * 2048.0);
            table.weights32768[i][k] = RoundToInt(w * 32768.0);
            float_sum += table.weights[i][k];
            sum2048 += table.weights2048[i][k];
            sum32768 += table.weights32768[i][k];
        }
        table.weights[i][4] = 1.0f - float_sum;
        table.weights2048[i][4] = 2048 - sum2048;
        table.weights32768[i][4] = 32768 - sum32768;
        for (int k = 0; k < kKernelTaps; ++k) {
            const int from = kKernelTaps - 1 - k;
            table.columns_float[i][k] = table.weights[i][from];
            table.columns2048[i][k] = float(table.weights2048[i][from]) / 2048.0f;
            table.columns32768[i][k] = float(table.weights32768[i][from]) / 32768.0f;
        }
    }
    return table;
}

constexpr ResampleKernel kKernel = BuildKernel();

}  // namespace

const ResampleKernel& TheResampleKernel() { return kKernel; }

double RawKernelWeight(double phase, int tap) { return RawWeight(phase, tap); }

}  // namespace tw
