#include "common/Clock.h"

#include <chrono>
#include <random>

namespace velum {

namespace {

class ClockRandom final : public RandomSource {
  public:
    void Randomize() override {
        engine_ = std::mt19937(static_cast<std::mt19937::result_type>(
            std::chrono::system_clock::now().time_since_epoch().count()));
    }
    double Next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }

  private:
    std::mt19937 engine_;
};

} // namespace

std::unique_ptr<RandomSource> CreateClockRandom() {
    return std::make_unique<ClockRandom>();
}

} // namespace velum
