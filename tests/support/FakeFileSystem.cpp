#include "support/FakeFileSystem.h"

#include <algorithm>
#include <utility>

namespace kestrio::testing {

class FakeFileSystem::Guard final : public FileLock {
 public:
  Guard(FakeFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {
    ++fs_.lockDepth_[path_];
  }
  ~Guard() override {
    if (--fs_.lockDepth_[path_] == 0) fs_.lockDepth_.erase(path_);
  }

 private:
  FakeFileSystem& fs_;
  std::string path_;
};

std::optional<std::string> FakeFileSystem::read(const std::string& path) {
  ++readsByPath_[path];
  auto it = files_.find(path);
  if (it == files_.end()) return std::nullopt;
  if (std::find(unreadable_.begin(), unreadable_.end(), path) != unreadable_.end()) {
    return std::nullopt;
  }
  return it->second;
}

bool FakeFileSystem::change() {
  if (changesBeforeCrash_ == 0) return false;
  if (changesBeforeCrash_ > 0) --changesBeforeCrash_;
  return changes_++ != failingChange_;
}

bool FakeFileSystem::writeAtomically(const std::string& path, std::string_view data) {
  // A failing path fails for its staged copy too ("NAME.kestrio-new").
  const bool failingPath =
      failingPath_.empty() || failingPath_ == path || path.rfind(failingPath_ + ".", 0) == 0;
  if (failuresLeft_ > 0 && failure_ != Failure::None && failingPath) {
    --failuresLeft_;
    return false;  // the temporary is discarded; the old content stays
  }
  if (immutable.count(path) || !change()) return false;
  ++writes_;
  ++writesByPath_[path];
  if (lockDepth_.empty()) ++writesOutsideLock_;
  files_[path] = std::string(data);
  if (onChange) onChange(path);
  return true;
}

bool FakeFileSystem::rename(const std::string& from, const std::string& to) {
  return replace(from, to).ok();
}

Stored FakeFileSystem::replace(const std::string& from, const std::string& to) {
  auto it = files_.find(from);
  if (it == files_.end()) return Stored::failure("No such file or directory");
  if (immutable.count(from) || immutable.count(to)) {
    return Stored::failure("Operation not permitted");
  }
  if (!change()) return Stored::failure("Input/output error");
  files_[to] = std::move(it->second);
  files_.erase(from);
  if (onChange) onChange(to);
  return {};
}

bool FakeFileSystem::remove(const std::string& path) {
  if (files_.count(path) == 0 || immutable.count(path) || !change()) return false;
  files_.erase(path);
  if (onChange) onChange(path);
  return true;
}

std::vector<std::string> FakeFileSystem::list(const std::string& directory) {
  std::vector<std::string> names;
  const std::string prefix = directory + "/";
  for (const auto& [path, content] : files_) {
    if (path.rfind(prefix, 0) != 0) continue;
    std::string rest = path.substr(prefix.size());
    if (rest.find('/') == std::string::npos) names.push_back(rest);
  }
  return names;
}

std::unique_ptr<FileLock> FakeFileSystem::lock(const std::string& path) {
  if (locksBeforeRefusal_ == 0) return nullptr;
  if (locksBeforeRefusal_ > 0) --locksBeforeRefusal_;
  ++locksTaken_;
  return std::make_unique<Guard>(*this, path);
}

class FakeFileSystem::Output final : public OutputFile {
 public:
  Output(FakeFileSystem& fs, std::string path, int failingWrite)
      : buffered_(fs, std::move(path)), failingWrite_(failingWrite) {}
  bool write(std::string_view bytes) override {
    if (++writes_ == failingWrite_) failed_ = true;
    return !failed_ && buffered_.write(bytes);
  }
  bool commit() override { return !failed_ && buffered_.commit(); }

 private:
  BufferedOutputFile buffered_;
  int failingWrite_;
  int writes_ = 0;
  bool failed_ = false;
};

std::unique_ptr<OutputFile> FakeFileSystem::createFile(const std::string& path) {
  const bool failOpen = std::exchange(failOpen_, false);
  const int failingWrite = std::exchange(failingOutputWrite_, 0);
  if (failOpen) return nullptr;
  return std::make_unique<Output>(*this, path, failingWrite);
}

int FakeFileSystem::lockDepth(const std::string& path) const {
  auto it = lockDepth_.find(path);
  return it == lockDepth_.end() ? 0 : it->second;
}

}  // namespace kestrio::testing
