// Call frames for the error report. Each routine of the program creates one
// CallFrame on entry (KX_FRAME), registers the parameters it received and
// the locals of its outermost scope, and records the line it is at before
// each call that may fail (KX_LINE). A frame costs a few pointer stores: its
// values are read only when an error report is composed.
//
//   bool TABLAS(const std::string& cFolder, bool lMark) {
//     KX_FRAME("TABLAS").Param(cFolder).Param(lMark);
//     int nDone = 0;
//     kx_frame_.Local(nDone);
//     KX_LINE; CopyTables(...);
//
// Register only variables that live as long as the frame (parameters and
// locals of the routine's outermost scope, declared before they are
// registered). The program is single-threaded; so is the frame chain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/module_variables.h"
#include "base/value.h"

namespace kx {

// The value a registered variable shows in the report.
inline Value FrameValue(const Value& v) { return v; }
inline Value FrameValue(const std::string& v) { return Value::Text(v); }
inline Value FrameValue(const char* v) { return v ? Value::Text(v) : Value(); }
inline Value FrameValue(bool v) { return Value::Logical(v); }
inline Value FrameValue(Date v) { return Value::FromDate(v); }
inline Value FrameValue(int v) { return Value::Number(v); }
inline Value FrameValue(unsigned v) { return Value::Number(v); }
inline Value FrameValue(long v) { return Value::Number(double(v)); }
inline Value FrameValue(unsigned long v) { return Value::Number(double(v)); }
inline Value FrameValue(long long v) { return Value::Number(double(v)); }
inline Value FrameValue(unsigned long long v) { return Value::Number(double(v)); }
inline Value FrameValue(double v) { return Value::Number(v); }
inline Value FrameValue(const ValueList& v) { return Value::List(v); }
inline Value FrameValue(const std::vector<std::string>& v) {
  ValueList items;
  for (const auto& s : v) items.push_back(Value::Text(s));
  return Value::List(std::move(items));
}

// One frame as the report shows it, read at the moment of the error.
struct FrameSnapshot {
  std::string name;
  int line = 0;
  ValueList params;
  ValueList locals;
};

class CallFrame {
 public:
  static constexpr int kMaxVars = 12;  // further registrations are not shown

  CallFrame(const char* name, int line) noexcept : name_(name), line_(line), outer_(top_) { top_ = this; }
  ~CallFrame() { top_ = outer_; }
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;

  template <class T>
  CallFrame& Param(const T& v) noexcept {
    Add(params_, n_params_, v);
    return *this;
  }
  template <class T>
  CallFrame& Local(const T& v) noexcept {
    Add(locals_, n_locals_, v);
    return *this;
  }
  void At(int line) noexcept { line_ = line; }
  // For KX_FRAME's chained registrations.
  CallFrame& Self() noexcept { return *this; }

  // The frames from the innermost outward, at most `max_frames` examined;
  // frames without a name are passed over.
  static std::vector<FrameSnapshot> Capture(int max_frames = 72);
  static const CallFrame* Innermost() { return top_; }

 private:
  struct Var {
    const void* p;
    Value (*read)(const void*);
  };
  template <class T>
  static void Add(Var* vars, int& n, const T& v) noexcept {
    if (n >= kMaxVars) return;
    vars[n++] = Var{&v, [](const void* p) { return FrameValue(*static_cast<const T*>(p)); }};
  }

  const char* name_;
  int line_;
  CallFrame* outer_;
  int n_params_ = 0, n_locals_ = 0;
  Var params_[kMaxVars];
  Var locals_[kMaxVars];
  static inline CallFrame* top_ = nullptr;
};

}  // namespace kx

#define KX_FRAME(name) ::kx::CallFrame kx_frame_(name, __LINE__); kx_frame_.Self()
#define KX_LINE kx_frame_.At(__LINE__)
