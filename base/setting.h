// The get/set setting: one stored value with a built-in default. Called with a
// value it stores it; called without one it stores nothing; either way it
// returns the current value. A routine such as CPATHSTART([x]) is one line:
//
//   Setting<std::string> path_start{""};
//   std::string CPATHSTART(std::optional<std::string> x) { return path_start(std::move(x)); }
//
// One thread per program: settings are not synchronised.
#pragma once

#include <optional>
#include <utility>

namespace kx {

template <typename T>
class Setting {
 public:
  explicit Setting(T built_in = T()) : default_(built_in), value_(std::move(built_in)) {}

  // Stores `x` when given; returns the current value.
  T operator()(std::optional<T> x = std::nullopt) {
    if (x) value_ = std::move(*x);
    return value_;
  }

  const T& get() const { return value_; }
  void set(T x) { value_ = std::move(x); }
  // Back to the built-in default (for start-up code and tests).
  void reset() { value_ = default_; }
  const T& built_in() const { return default_; }

 private:
  T default_;
  T value_;
};

}  // namespace kx
