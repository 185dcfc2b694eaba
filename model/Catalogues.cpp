#include "model/Catalogues.h"

#include <cmath>

namespace valmora {

namespace {

constexpr double kHazenWilliamsCoefficient = 6.05e9;
constexpr double kHazenWilliamsFlowExponent = 1.85;

} // namespace

float frictionFactorFor(int16_t hazenC) {
    return static_cast<float>(kHazenWilliamsCoefficient /
                              std::pow(double(hazenC), kHazenWilliamsFlowExponent));
}

int16_t NearestDiameterIndex(const PipeSeries& series, float target) {
    const auto& d = series.diameters;
    if (d.empty())
        return 0;
    const int last = int(d.size()) - 1;
    if (target <= d.front().innerDiameter)
        return 0;
    if (target >= d[last].innerDiameter)
        return static_cast<int16_t>(last);
    int k = 0;
    while (k < last && !(d[k].innerDiameter <= target && target < d[k + 1].innerDiameter))
        ++k;
    const float mid = (d[k].innerDiameter + d[k + 1].innerDiameter) / 2.0f;
    return static_cast<int16_t>(mid > target ? k : k + 1);
}

} // namespace valmora
