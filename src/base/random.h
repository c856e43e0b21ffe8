#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace quirabel {

// The random source is injected like the clock, so tests can pin what would be drawn.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A number from 0 to bound - 1 (0 when bound <= 1).
  virtual int Next(int bound) = 0;
};

class DefaultRandom final : public RandomSource {
 public:
  DefaultRandom() : engine_(std::random_device{}()) {}
  explicit DefaultRandom(std::uint32_t seed) : engine_(seed) {}
  int Next(int bound) override {
    if (bound <= 1) return 0;
    return std::uniform_int_distribution<int>(0, bound - 1)(engine_);
  }

 private:
  std::mt19937 engine_;
};

// Gives the numbers it was handed, in turn and then over again (each taken modulo the bound).
class SequenceRandom final : public RandomSource {
 public:
  explicit SequenceRandom(std::vector<int> values) : values_(std::move(values)) {}
  int Next(int bound) override {
    if (bound <= 1 || values_.empty()) return 0;
    const int v = values_[next_++ % values_.size()];
    return ((v % bound) + bound) % bound;
  }

 private:
  std::vector<int> values_;
  std::size_t next_ = 0;
};

}  // namespace quirabel
