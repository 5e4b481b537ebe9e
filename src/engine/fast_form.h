// The fast form of compiled programs, shared by the one-value loop
// (stack_machine.cpp) and the block loop (stack_block.cpp).
#pragma once

#include <cstdint>
#include <iterator>

#include "function_table.h"
#include "ops.h"

// The fast form. Every operation of ops.h has these forms (a is the value
// below the top, b the top; the top lives in a register while running):
//   S   a and b from the stack          K   a from the stack, b a constant
//   V   a from the stack, b a cell      VK  pushes cell op constant
//   KV  pushes constant op cell
// and every one-operand operation (the powers of ORLIX_POWER_ROWS among
// them) has U (on the top) and UV (pushes op(cell)). The opcode of a form is
// F_<operation>_<form>; the operations come from the rows of the function
// table, and the superinstructions of ORLIX_FUSION_ROWS follow them.
namespace orlix::fast {

#define ORLIX_BINARY_FORMS(n, ...)                                                                                     \
    ORLIX_OPCODE(n##_S) ORLIX_OPCODE(n##_K) ORLIX_OPCODE(n##_V) ORLIX_OPCODE(n##_VK) ORLIX_OPCODE(n##_KV)
#define ORLIX_UNARY_FORMS(n, ...) ORLIX_OPCODE(n##_U) ORLIX_OPCODE(n##_UV)
#define ORLIX_FUSED_FORM(a, fa, b, fb) ORLIX_OPCODE(a##_##fa##_then_##b##_##fb)
#define ORLIX_ALL_OPCODES                                                                                              \
    ORLIX_OPCODE(End)                                                                                                  \
    ORLIX_OPCODE(PushK)                                                                                                \
    ORLIX_OPCODE(PushV)                                                                                                \
    ORLIX_BINARY_ROWS(ORLIX_BINARY_FORMS)                                                                              \
    ORLIX_UNARY_ROWS(ORLIX_UNARY_FORMS)                                                                                \
    ORLIX_POWER_ROWS(ORLIX_UNARY_FORMS)                                                                                \
    ORLIX_FUSION_ROWS(ORLIX_FUSED_FORM)

enum Fast : std::uint32_t {
#define ORLIX_OPCODE(name) F_##name,
    ORLIX_ALL_OPCODES
#undef ORLIX_OPCODE
        F_Count
};

// The value of each operation, one function per row, so that a form can
// name its operation: val::Plus(a, b), val::Sin(u), val::Square(u).
namespace val {
using namespace ops::fn;
#define ORLIX_P(n, exponent)                                                                                           \
    inline double n(double u) { return ops::power(u, exponent); }
ORLIX_POWER_ROWS(ORLIX_P)
#undef ORLIX_P
} // namespace val

// What each form does to the top (`top`) and the stack below it (`sp` one
// past its last value), with k and cell its operands.
#define ORLIX_FORM_S(n, k, cell) top = val::n(*--sp, top);
#define ORLIX_FORM_K(n, k, cell) top = val::n(top, k);
#define ORLIX_FORM_V(n, k, cell) top = val::n(top, *(cell));
#define ORLIX_FORM_VK(n, k, cell)                                                                                      \
    *sp++ = top;                                                                                                       \
    top = val::n(*(cell), k);
#define ORLIX_FORM_KV(n, k, cell)                                                                                      \
    *sp++ = top;                                                                                                       \
    top = val::n(k, *(cell));
#define ORLIX_FORM_U(n, k, cell) top = val::n(top);
#define ORLIX_FORM_UV(n, k, cell)                                                                                      \
    *sp++ = top;                                                                                                       \
    top = val::n(*(cell));

// Opcode of the plain (stack operand) form of an operation.
inline Fast fastOf(ops::Op op)
{
    switch (op) {
#define ORLIX_B(n, ...)                                                                                                \
    case ops::n: return F_##n##_S;
        ORLIX_BINARY_ROWS(ORLIX_B)
#undef ORLIX_B
#define ORLIX_U(n, ...)                                                                                                \
    case ops::n: return F_##n##_U;
        ORLIX_UNARY_ROWS(ORLIX_U)
#undef ORLIX_U
    default: return F_End;
    }
}

// Offsets of the forms from the plain opcode.
constexpr std::uint32_t kK = 1, kV = 2, kVK = 3, kKV = 4; // binary
constexpr std::uint32_t kUV = 1;                          // unary

static_assert(F_Plus_K == F_Plus_S + kK && F_Plus_KV == F_Plus_S + kKV && F_Sin_UV == F_Sin_U + kUV);

// A power whose exponent is one of ORLIX_POWER_ROWS', as that row's
// operation on the top (its UV form is the next opcode).
struct PowerRow {
    double exponent;
    std::uint32_t op;
};
constexpr PowerRow kPowerRows[] = {
#define ORLIX_P(n, exponent) {exponent, F_##n##_U},
    ORLIX_POWER_ROWS(ORLIX_P)
#undef ORLIX_P
};

// The superinstructions, in opcode order from kFirstFused.
struct FusionRow {
    std::uint32_t first, second, fused;
};
constexpr FusionRow kFusionRows[] = {
#define ORLIX_F(a, fa, b, fb) {F_##a##_##fa, F_##b##_##fb, F_##a##_##fa##_then_##b##_##fb},
    ORLIX_FUSION_ROWS(ORLIX_F)
#undef ORLIX_F
};
constexpr std::uint32_t kFirstFused = kFusionRows[0].fused;
static_assert(kFusionRows[std::size(kFusionRows) - 1].fused == F_Count - 1);

} // namespace orlix::fast
