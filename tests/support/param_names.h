// Names for the cases of parameterised suites, so that a failure names its
// case: the index and the formula, in the letters and digits a test name
// may hold ("3_sin_x_2" for the fourth case, sin x^2).
#pragma once

#include <cctype>
#include <string>

#include <gtest/gtest.h>

namespace orlix::testing {

struct ByFormula {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        std::string name = std::to_string(info.index);
        bool gap = true;
        for (const char* c = info.param.formula; *c && name.size() < 40; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c))) {
                if (gap)
                    name += '_';
                name += *c;
                gap = false;
            } else {
                gap = true;
            }
        }
        return name;
    }
};

} // namespace orlix::testing
