// Stroke colours proposed for new functions, and the table of dash patterns
// shared by the stored records and the settings panel.
#pragma once

#include <array>
#include <random>
#include <span>

#include "orlix/canvas.h"

namespace orlix {

class colorGen {
  public:
    static colorGen& sharedColorGen();

    // A colour of the table, never the one handed out last.
    Color genColor();
    // A colour of the table that none of taken is, while one is left (and
    // then never the one handed out last); genColor() once all are taken.
    Color genColor(std::span<const Color> taken);

    // Restarts the random source (repeatable runs); by default it is seeded
    // with the time in whole seconds.
    static void seed(unsigned n);
    // A uniform value in [0, 2147483646] from the same source.
    static int randomInt();

    int maxN() const { return 9; }
    int maxDashN() const { return 4; }
    const std::array<Color, 9>& standardColors() const { return standardColors_; }
    // Pattern i has dashSizes(i) = 2·i entries; out-of-range i gives the
    // solid pattern.
    std::span<const float> dashes(int i) const;
    int dashSizes(int i) const;
    int prev() const { return prev_; }

  private:
    colorGen();

    std::array<Color, 9> standardColors_;
    std::array<int, 4> dashSizes_{0, 2, 4, 6};
    // Pattern 3 takes six entries from entry 6: the table needs twelve.
    std::array<float, 12> tdashes_{6, 5, 8, 3, 2, 3, 8, 3, 3, 3, 3, 3};
    std::array<int, 4> dashStart_{0, 0, 2, 6};
    int prev_ = -1;
    std::minstd_rand random_;
};

} // namespace orlix
