#include "SpinLoop.h"

#include <cstdint>

namespace {

class SpinLoopWait final : public IBusyWait
{
public:
    void spin(double loops) override { SpinLoop(loops); }
};

} // namespace

IBusyWait &spinLoopWait()
{
    static SpinLoopWait wait;
    return wait;
}

// The wait between steps and the start-up measurement both run this routine,
// so the measured rate holds for the wait only while every iteration costs
// the same and really runs. The empty asm tells the compiler the counter may
// change behind its back, so it can neither drop the loop nor work out its
// length in advance, yet it adds no instruction to the body.
void SpinLoop(double n)
{
    if (!(n >= 1.0)) // also NaN
        return;
    // 2^64: the first double a 64-bit count cannot hold (a cast from it is undefined).
    constexpr double kCountLimit = 18446744073709551616.0;
    const std::uint64_t count = n >= kCountLimit ? UINT64_MAX : static_cast<std::uint64_t>(n);
    for (std::uint64_t i = 0; i < count; ++i) {
#if defined(__GNUC__) || defined(__clang__)
        asm volatile("" : "+r"(i));
#else
#error "SpinLoop needs an optimisation barrier for this compiler"
#endif
    }
}
