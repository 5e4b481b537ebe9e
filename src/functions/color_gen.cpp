#include "orlix/color_gen.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

namespace orlix {

colorGen::colorGen()
    : standardColors_{{
          {0.5f, 0.0f, 0.5f, 1}, // purple
          {1.0f, 0.0f, 0.0f, 1}, // red
          {1.0f, 1.0f, 0.0f, 1}, // yellow
          {1.0f, 0.5f, 0.0f, 1}, // orange
          {1.0f, 0.0f, 1.0f, 1}, // magenta
          {0.0f, 1.0f, 0.0f, 1}, // green
          {0.6f, 0.4f, 0.2f, 1}, // brown
          {0.0f, 0.0f, 1.0f, 1}, // blue
          {0.0f, 0.0f, 0.0f, 1}, // black
      }},
      random_(static_cast<std::minstd_rand::result_type>(std::time(nullptr)))
{
}

colorGen& colorGen::sharedColorGen()
{
    static colorGen shared;
    return shared;
}

void colorGen::seed(unsigned n) { sharedColorGen().random_.seed(n); }

int colorGen::randomInt()
{
    // minstd gives 1 … 2147483646.
    return static_cast<int>(sharedColorGen().random_() - 1);
}

Color colorGen::genColor()
{
    int d;
    do
        d = randomInt() % maxN();
    while (d == prev_);
    prev_ = d;
    return standardColors_[static_cast<size_t>(d)];
}

Color colorGen::genColor(std::span<const Color> taken)
{
    const auto isTaken = [&](const Color& c) {
        return std::any_of(taken.begin(), taken.end(), [&](const Color& t) {
            return std::fabs(t.r - c.r) < 1e-3 && std::fabs(t.g - c.g) < 1e-3 && std::fabs(t.b - c.b) < 1e-3;
        });
    };
    std::vector<int> free;
    for (int i = 0; i < maxN(); ++i)
        if (!isTaken(standardColors_[static_cast<size_t>(i)]))
            free.push_back(i);
    if (free.empty())
        return genColor();
    if (free.size() > 1)
        std::erase(free, prev_);
    prev_ = free[static_cast<size_t>(randomInt()) % free.size()];
    return standardColors_[static_cast<size_t>(prev_)];
}

std::span<const float> colorGen::dashes(int i) const
{
    if (i <= 0 || i >= maxDashN())
        return {};
    return std::span<const float>(tdashes_.data() + dashStart_[static_cast<size_t>(i)],
                                  static_cast<size_t>(dashSizes_[static_cast<size_t>(i)]));
}

int colorGen::dashSizes(int i) const
{
    if (i <= 0 || i >= maxDashN())
        return 0;
    return dashSizes_[static_cast<size_t>(i)];
}

} // namespace orlix
