#include "platform/OutputFile.h"

#include "platform/FileSystem.h"

namespace kestrio {

std::unique_ptr<OutputFile> FileSystem::createFile(const std::string& path) {
  return std::make_unique<BufferedOutputFile>(*this, path);
}

BufferedOutputFile::BufferedOutputFile(FileSystem& files, std::string path)
    : files_(files), path_(std::move(path)) {}

bool BufferedOutputFile::write(std::string_view bytes) {
  if (committed_) return false;
  bytes_.append(bytes);
  return true;
}

bool BufferedOutputFile::commit() {
  if (!committed_) {
    committed_ = true;
    stored_ = files_.writeAtomically(path_, bytes_);
    bytes_.clear();
    bytes_.shrink_to_fit();
  }
  return stored_;
}

}  // namespace kestrio
