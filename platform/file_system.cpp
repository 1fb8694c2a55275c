#include "platform/file_system.h"

namespace kx::platform {

Status ReadWholeFile(FileSystem* fs, const std::string& path, std::string* contents) {
  std::unique_ptr<File> f;
  Status s = fs->Open(path, Access::Read, Share::Shared, Disposition::OpenExisting, &f);
  if (!s.ok()) return s;
  uint64_t size = 0;
  s = f->Size(&size);
  if (!s.ok()) return s;
  contents->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  s = f->ReadAt(0, contents->data(), contents->size(), &got);
  contents->resize(got);
  return s;
}

Status WriteWholeFile(FileSystem* fs, const std::string& path, const std::string& contents) {
  std::unique_ptr<File> f;
  Status s = fs->Open(path, Access::ReadWrite, Share::Exclusive, Disposition::CreateAlways, &f);
  if (!s.ok()) return s;
  s = f->WriteAt(0, contents.data(), contents.size());
  if (!s.ok()) return s;
  return f->Flush();
}

}  // namespace kx::platform
