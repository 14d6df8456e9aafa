#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/KeyedArchive.h"
#include "platform/Platform.h"

namespace kestrio {

// A keyed-archive file of the documents directory holding one list of objects.
class ArchiveFile {
 public:
  struct Contents {
    std::vector<keyed::Object> objects;
    bool hadData = false;  // false when the file was missing or empty
  };

  ArchiveFile(Platform& platform, std::string fileName, std::string topKey, std::string className);

  // The stored list. A missing or empty file is an empty list; a file that cannot be decoded is
  // moved aside under a dated name (logged, and listed by `kestrio status`) and reads as missing.
  Contents read();
  // Replaces the file atomically; logs "Writing data to file failed" and answers false when the
  // write failed (the previous file stays).
  bool write(const std::vector<keyed::Object>& objects);
  // Adds one object at the end of the stored list, as a read, an addition and a write would, but
  // without decoding the stored objects when the archive allows (see keyed::appendToList).
  bool append(const keyed::Object& object);

  std::string path() const;

 private:
  Platform& platform_;
  std::string fileName_;
  std::string topKey_;
  std::string className_;
};

}  // namespace kestrio
