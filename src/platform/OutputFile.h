#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kestrio {

class FileSystem;

// A file written piece by piece (an export). Nothing appears at its path until `commit`, which
// replaces the file whole, as an atomic write does; a handle destroyed without a commit leaves
// whatever was there before untouched.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Appends bytes; false when they could not be written (the file will not be installed).
  virtual bool write(std::string_view bytes) = 0;
  // Installs the file; false when any write or the installation failed. A second call answers
  // the first one's outcome.
  virtual bool commit() = 0;
};

// The handle every file system offers unless it has a better one: the bytes are kept until the
// commit hands them to the file system's atomic write (so a transaction stages them like any
// other write).
class BufferedOutputFile final : public OutputFile {
 public:
  BufferedOutputFile(FileSystem& files, std::string path);
  bool write(std::string_view bytes) override;
  bool commit() override;

 private:
  FileSystem& files_;
  std::string path_;
  std::string bytes_;
  bool committed_ = false;
  bool stored_ = false;
};

}  // namespace kestrio
