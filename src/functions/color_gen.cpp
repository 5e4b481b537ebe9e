#include "orlix/color_gen.h"

#include <ctime>

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
