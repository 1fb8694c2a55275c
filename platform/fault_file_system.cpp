#include "platform/fault_file_system.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace kx::platform {

namespace {

// What happens to one mutating operation.
enum class Verdict {
  Pass,  // it reaches the target
  Fail,  // it fails (a prefix of a write may reach the target)
  Drop,  // it is lost, and reports success
  Tear,  // the power is cut in the middle of it: a prefix reaches the target
};

class FaultFile;

// Paths that name one file the same way on Windows compare equal.
std::string Key(const std::string& path) {
  std::string k = path;
  for (char& c : k) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return k;
}

bool ReadAll(File* f, std::string* out) {
  uint64_t size = 0;
  if (!f->Size(&size).ok()) return false;
  out->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  if (!f->ReadAt(0, out->data(), out->size(), &got).ok()) return false;
  out->resize(got);
  return true;
}

}  // namespace

struct FaultFileSystem::State {
  enum class Mode { None, Fail, Cut };
  Mode mode = Mode::None;
  uint64_t count = 0;
  uint64_t at = 0;
  uint32_t code = kErrWriteFault;
  AfterFailure after = AfterFailure::Recover;
  size_t torn_bytes = 0;
  bool struck = false;
  bool cut = false;
  std::string operation;

  // Unflushed::Lost: the contents each changed file had at its last flush,
  // by the file's key (see Key), with the path the program named it by.
  FileSystem* target = nullptr;
  bool lose_unflushed = false;
  struct Durable {
    std::string path;
    std::string contents;
  };
  std::map<std::string, Durable> durable;
  std::vector<FaultFile*> open_files;

  // Notes the contents a file has on the disk before its first unflushed
  // change. `live` reads it through an open handle when there is one.
  void BeforeChange(const std::string& path, File* live);
  void Flushed(const std::string& path) {
    if (lose_unflushed) durable.erase(Key(path));
  }
  void Renamed(const std::string& from, const std::string& to);
  void Removed(const std::string& path) {
    if (lose_unflushed) durable.erase(Key(path));
  }
  // Puts back the flushed contents of every file changed since.
  void LoseUnflushed();

  template <typename Describe>
  Verdict Next(Describe describe) {
    ++count;
    if (cut) return Verdict::Drop;
    switch (mode) {
      case Mode::None: return Verdict::Pass;
      case Mode::Fail:
        if (count == at) {
          struck = true;
          operation = describe();
          return Verdict::Fail;
        }
        if (struck && after == AfterFailure::KeepFailing) return Verdict::Fail;
        return Verdict::Pass;
      case Mode::Cut:
        if (count == at) {
          struck = true;
          cut = true;
          operation = describe();
          if (lose_unflushed) LoseUnflushed();
          return torn_bytes ? Verdict::Tear : Verdict::Drop;
        }
        return Verdict::Pass;
    }
    return Verdict::Pass;
  }

  Status Injected(const std::string& what) const {
    return Status::Error(code, what + ": injected failure (mutating operation " + std::to_string(count) + ")");
  }
};

namespace {

using State = FaultFileSystem::State;

// A file opened through the fault file system. `target` is null for a file
// that exists only in the program's mind (created after the power cut).
class FaultFile : public File {
 public:
  FaultFile(std::shared_ptr<State> state, std::unique_ptr<File> target, std::string path)
      : state_(std::move(state)), target_(std::move(target)), path_(std::move(path)) {
    state_->open_files.push_back(this);
  }
  ~FaultFile() override {
    auto& v = state_->open_files;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }

  const std::string& path() const { return path_; }
  File* target() const { return target_.get(); }

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    if (!target_) {
      *got = 0;
      return Status::Ok();
    }
    return target_->ReadAt(offset, buf, n, got);
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    Verdict v = state_->Next([&] {
      return "WriteAt " + path_ + " at " + std::to_string(offset) + ", " + std::to_string(n) + " bytes";
    });
    if (v == Verdict::Pass && target_) state_->BeforeChange(path_, target_.get());
    switch (v) {
      case Verdict::Pass: return target_ ? target_->WriteAt(offset, buf, n) : Status::Ok();
      case Verdict::Fail:
        if (target_ && state_->torn_bytes && state_->count == state_->at)
          target_->WriteAt(offset, buf, std::min(n, state_->torn_bytes));
        return state_->Injected("WriteAt " + path_);
      case Verdict::Tear:
        if (target_) target_->WriteAt(offset, buf, std::min(n, state_->torn_bytes));
        return Status::Ok();
      case Verdict::Drop: return Status::Ok();
    }
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    if (!target_) {
      *size = 0;
      return Status::Ok();
    }
    return target_->Size(size);
  }

  Status Truncate(uint64_t size) override {
    Verdict v = state_->Next([&] { return "Truncate " + path_ + " to " + std::to_string(size); });
    if (v == Verdict::Pass && target_) state_->BeforeChange(path_, target_.get());
    if (v == Verdict::Pass) return target_ ? target_->Truncate(size) : Status::Ok();
    if (v == Verdict::Fail) return state_->Injected("Truncate " + path_);
    return Status::Ok();
  }

  Status Flush() override {
    Verdict v = state_->Next([&] { return "Flush " + path_; });
    if (v == Verdict::Pass && target_) {
      Status s = target_->Flush();
      if (s.ok()) state_->Flushed(path_);
      return s;
    }
    if (v == Verdict::Pass) return Status::Ok();
    if (v == Verdict::Fail) return state_->Injected("Flush " + path_);
    return Status::Ok();
  }

  Status Lock(uint64_t offset, uint64_t length) override {
    return target_ ? target_->Lock(offset, length) : Status::Ok();
  }
  Status Unlock(uint64_t offset, uint64_t length) override {
    return target_ ? target_->Unlock(offset, length) : Status::Ok();
  }

 private:
  std::shared_ptr<State> state_;
  std::unique_ptr<File> target_;
  std::string path_;
};

const char* DispositionName(Disposition d) {
  switch (d) {
    case Disposition::OpenExisting: return "OpenExisting";
    case Disposition::CreateAlways: return "CreateAlways";
    case Disposition::CreateNew: return "CreateNew";
    case Disposition::OpenAlways: return "OpenAlways";
  }
  return "";
}

std::string ParentOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos || cut == 0) return std::string();
  if (cut == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, cut);
}

}  // namespace

void State::BeforeChange(const std::string& path, File* live) {
  if (!lose_unflushed || cut) return;
  std::string key = Key(path);
  if (durable.count(key)) return;
  Durable d;
  d.path = path;
  bool read = false;
  if (live) read = ReadAll(live, &d.contents);
  for (FaultFile* f : open_files)
    if (!read && f->target() && Key(f->path()) == key) read = ReadAll(f->target(), &d.contents);
  if (!read) {
    std::unique_ptr<File> f;
    if (target->Open(path, Access::Read, Share::Shared, Disposition::OpenExisting, &f).ok()) ReadAll(f.get(), &d.contents);
  }
  durable[key] = std::move(d);
}

void State::Renamed(const std::string& from, const std::string& to) {
  if (!lose_unflushed) return;
  std::string kf = Key(from), kt = Key(to);
  // Files under a renamed folder move with it.
  std::map<std::string, Durable> moved;
  for (auto it = durable.begin(); it != durable.end();) {
    if (it->first == kf || it->first.rfind(kf + "\\", 0) == 0) {
      Durable d = std::move(it->second);
      std::string rest = it->first.substr(kf.size());
      d.path = to + d.path.substr(kf.size());
      moved[kt + rest] = std::move(d);
      it = durable.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [k, d] : moved) durable[k] = std::move(d);
}

void State::LoseUnflushed() {
  for (auto& [key, d] : durable) {
    // The file keeps the last-write time it has now: times are metadata.
    FileInfo info;
    bool timed = target->Stat(d.path, &info).ok();
    // Through a handle the program holds, which an exclusive open requires;
    // else through a handle of our own.
    bool done = false;
    for (FaultFile* f : open_files) {
      if (done || !f->target() || Key(f->path()) != key) continue;
      done = f->target()->Truncate(0).ok() && f->target()->WriteAt(0, d.contents.data(), d.contents.size()).ok();
    }
    if (!done) {
      std::unique_ptr<File> f;
      if (target->Open(d.path, Access::ReadWrite, Share::Shared, Disposition::OpenExisting, &f).ok()) {
        f->Truncate(0);
        f->WriteAt(0, d.contents.data(), d.contents.size());
      }
    }
    if (timed) target->SetTimes(d.path, 0, info.last_write);
  }
  durable.clear();
}

FaultFileSystem::FaultFileSystem(FileSystem* target) : FileSystemWrapper(target), state_(std::make_shared<State>()) {
  state_->target = target;
}
FaultFileSystem::~FaultFileSystem() = default;

void FaultFileSystem::FailAt(uint64_t n, uint32_t code, AfterFailure after, size_t torn_bytes) {
  state_->mode = State::Mode::Fail;
  state_->lose_unflushed = false;
  state_->durable.clear();
  state_->at = n;
  state_->code = code ? code : kErrWriteFault;
  state_->after = after;
  state_->torn_bytes = torn_bytes;
  state_->struck = false;
  state_->cut = false;
  state_->operation.clear();
}

void FaultFileSystem::PowerCutAt(uint64_t n, size_t torn_bytes, Unflushed unflushed) {
  state_->mode = State::Mode::Cut;
  state_->lose_unflushed = unflushed == Unflushed::Lost;
  state_->durable.clear();
  state_->at = n;
  state_->torn_bytes = torn_bytes;
  state_->struck = false;
  state_->cut = false;
  state_->operation.clear();
}

void FaultFileSystem::Disarm() {
  state_->mode = State::Mode::None;
  state_->lose_unflushed = false;
  state_->durable.clear();
  state_->struck = false;
  state_->cut = false;
  state_->operation.clear();
}

void FaultFileSystem::ResetCount() { state_->count = 0; }
uint64_t FaultFileSystem::mutations() const { return state_->count; }
bool FaultFileSystem::fault_struck() const { return state_->struck; }
bool FaultFileSystem::power_cut() const { return state_->cut; }
std::string FaultFileSystem::struck_operation() const { return state_->operation; }

Status FaultFileSystem::Open(const std::string& path, Access access, Share share, Disposition disposition,
                             std::unique_ptr<File>* result) {
  result->reset();
  std::unique_ptr<File> file;
  if (disposition == Disposition::OpenExisting) {
    Status s = target()->Open(path, access, share, disposition, &file);
    if (!s.ok()) return s;
    *result = std::make_unique<FaultFile>(state_, std::move(file), path);
    return Status::Ok();
  }
  Verdict v = state_->Next([&] { return std::string("Open ") + DispositionName(disposition) + " " + path; });
  if (v == Verdict::Fail) return state_->Injected("Open " + path);
  if (v == Verdict::Pass) {
    // A create or truncate changes data that is not flushed yet.
    if (state_->lose_unflushed && disposition != Disposition::OpenAlways) state_->BeforeChange(path, nullptr);
    Status s = target()->Open(path, access, share, disposition, &file);
    if (!s.ok()) return s;
    if (state_->lose_unflushed && disposition == Disposition::OpenAlways) state_->BeforeChange(path, file.get());
    *result = std::make_unique<FaultFile>(state_, std::move(file), path);
    return Status::Ok();
  }
  // The power is off: the disk stays as it is.
  if (target()->Exists(path)) {
    if (disposition == Disposition::CreateNew) return Status::Error(kErrFileExists, path + ": already exists");
    Status s = target()->Open(path, Access::Read, share, Disposition::OpenExisting, &file);
    if (!s.ok()) return s;
  } else {
    std::string parent = ParentOf(path);
    if (!parent.empty() && !target()->Exists(parent)) return Status::Error(kErrPathNotFound, path + ": path not found");
  }
  *result = std::make_unique<FaultFile>(state_, std::move(file), path);
  return Status::Ok();
}

#define KX_FAULT_FORWARD(description, call)                   \
  Verdict v = state_->Next([&] { return description; });      \
  if (v == Verdict::Pass) return call;                        \
  if (v == Verdict::Fail) return state_->Injected(description); \
  return Status::Ok()

Status FaultFileSystem::Rename(const std::string& from, const std::string& to) {
  KX_FAULT_FORWARD("Rename " + from + " to " + to, RenameNow(from, to));
}

Status FaultFileSystem::CopyOver(const std::string& from, const std::string& to) {
  KX_FAULT_FORWARD("CopyOver " + from + " to " + to, CopyOverNow(from, to));
}

Status FaultFileSystem::Remove(const std::string& path) {
  KX_FAULT_FORWARD("Remove " + path, RemoveNow(path));
}

Status FaultFileSystem::RenameNow(const std::string& from, const std::string& to) {
  Status s = target()->Rename(from, to);
  if (s.ok()) state_->Renamed(from, to);
  return s;
}

Status FaultFileSystem::CopyOverNow(const std::string& from, const std::string& to) {
  // The copy's data is no more flushed than a write's.
  state_->BeforeChange(to, nullptr);
  return target()->CopyOver(from, to);
}

Status FaultFileSystem::RemoveNow(const std::string& path) {
  Status s = target()->Remove(path);
  if (s.ok()) state_->Removed(path);
  return s;
}

Status FaultFileSystem::SetReadOnly(const std::string& path, bool read_only) {
  KX_FAULT_FORWARD("SetReadOnly " + path, target()->SetReadOnly(path, read_only));
}

Status FaultFileSystem::SetTimes(const std::string& path, FileTime creation, FileTime last_write) {
  KX_FAULT_FORWARD("SetTimes " + path, target()->SetTimes(path, creation, last_write));
}

Status FaultFileSystem::MakeFolder(const std::string& path) {
  KX_FAULT_FORWARD("MakeFolder " + path, target()->MakeFolder(path));
}

Status FaultFileSystem::RemoveFolder(const std::string& path) {
  KX_FAULT_FORWARD("RemoveFolder " + path, target()->RemoveFolder(path));
}

#undef KX_FAULT_FORWARD

}  // namespace kx::platform
