#include "errors/call_frame.h"

namespace kx {

std::vector<FrameSnapshot> CallFrame::Capture(int max_frames) {
  std::vector<FrameSnapshot> out;
  int examined = 0;
  for (const CallFrame* f = top_; f && examined < max_frames; f = f->outer_, ++examined) {
    if (!f->name_ || !*f->name_) continue;
    FrameSnapshot s;
    s.name = f->name_;
    s.line = f->line_;
    for (int i = 0; i < f->n_params_; ++i) s.params.push_back(f->params_[i].read(f->params_[i].p));
    for (int i = 0; i < f->n_locals_; ++i) s.locals.push_back(f->locals_[i].read(f->locals_[i].p));
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace kx
