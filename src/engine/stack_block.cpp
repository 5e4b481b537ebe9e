// Block evaluation: the fast form run over many values of one cell. This
// file is compiled with the vectoriser allowed loops of any length (see
// CMakeLists.txt); a vectorised loop computes each value as the scalar one
// does, so the results keep their bits.
#include "orlix/stack_machine.h"

#include "fast_form.h"
#include "orlix/math_engine.h"

#include <algorithm>

namespace orlix {

using namespace fast;

// The fast form run one instruction at a time over a chunk of values: each instruction dispatches once per chunk
// instead of once per value, and applies the very routines run() applies. The stack is a chunk of values per slot,
// `top` the slot of the top.
void StackMachine::evaluateBlock(double* cell, const double* values, double* out, int count)
{
    if (needsGeneric_) {
        const CellRestore restoreCell(cell);
        for (int k = 0; k < count; ++k) {
            *cell = values[k];
            out[k] = evaluate();
        }
        return;
    }
    stepsRun_ += code_.size() * static_cast<std::uint64_t>(std::max(count, 0));
    constexpr int kChunk = 64;
    blockWork_.resize(work_.size() * kChunk);
    for (int start = 0; start < count; start += kChunk) {
        const int n = std::min(kChunk, count - start);
        const double* in = values + start;
        // Slot 0 lies below the first push and is never read.
        double* top = blockWork_.data();
        for (const Inst* ip = fast_.data(); ip->op != F_End; ++ip) {
            // An operand cell other than the one that varies holds one value
            // for the whole chunk.
            const bool varying = ip->cell == cell;
            const double fixed = ip->cell && !varying ? *ip->cell : 0;
            const double k = ip->k;
            // A superinstruction runs here as its first instruction; the
            // second follows it in the program.
            const std::uint32_t op = ip->op < kFirstFused ? ip->op : kFusionRows[ip->op - kFirstFused].first;
            switch (op) {
            case F_PushK:
                top += kChunk;
                std::fill(top, top + n, k);
                break;
            case F_PushV:
                top += kChunk;
                if (varying)
                    std::copy(in, in + n, top);
                else
                    std::fill(top, top + n, fixed);
                break;
#define ORLIX_EACH(expression)                                                                                         \
    for (int i = 0; i < n; ++i)                                                                                        \
        top[i] = expression;                                                                                           \
    break;
// A cell operand: the values when it varies, else one value for the chunk.
#define ORLIX_EACH_CELL(expression, ofFixed)                                                                           \
    if (varying) {                                                                                                     \
        for (int i = 0; i < n; ++i)                                                                                    \
            top[i] = expression;                                                                                       \
    } else {                                                                                                           \
        const double value = ofFixed;                                                                                  \
        std::fill(top, top + n, value);                                                                                \
    }                                                                                                                  \
    break;
#define ORLIX_B(o, ...)                                                                                                \
    case F_##o##_S: top -= kChunk; ORLIX_EACH(val::o(top[i], top[i + kChunk]))                                         \
    case F_##o##_K: ORLIX_EACH(val::o(top[i], k))                                                                      \
    case F_##o##_V:                                                                                                    \
        if (varying) {                                                                                                 \
            ORLIX_EACH(val::o(top[i], in[i]))                                                                          \
        }                                                                                                              \
        ORLIX_EACH(val::o(top[i], fixed))                                                                              \
    case F_##o##_VK: top += kChunk; ORLIX_EACH_CELL(val::o(in[i], k), val::o(fixed, k))                                \
    case F_##o##_KV:                                                                                                   \
        top += kChunk;                                                                                                 \
        ORLIX_EACH_CELL(val::o(k, in[i]), val::o(k, fixed))
#define ORLIX_U(o, ...)                                                                                                \
    case F_##o##_U: ORLIX_EACH(val::o(top[i]))                                                                         \
    case F_##o##_UV: top += kChunk; ORLIX_EACH_CELL(val::o(in[i]), val::o(fixed))
                ORLIX_BINARY_ROWS(ORLIX_B)
                ORLIX_UNARY_ROWS(ORLIX_U)
                ORLIX_POWER_ROWS(ORLIX_U)
#undef ORLIX_B
#undef ORLIX_U
#undef ORLIX_EACH
#undef ORLIX_EACH_CELL
            default: break;
            }
        }
        std::copy(top, top + n, out + start);
    }
}

} // namespace orlix
