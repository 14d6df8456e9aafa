#pragma once

#include <memory>
#include <string>

namespace kestrio {

// A watch on the documents directory, for a window that follows what Kestrio's other processes
// store. Its descriptor becomes readable when a stored file there was replaced, written or
// removed; the owner waits on it in its own event loop and then calls `takeChanges`.
class DirectoryWatch {
 public:
  virtual ~DirectoryWatch() = default;
  // The descriptor to wait on for reading.
  virtual int descriptor() const = 0;
  // Reads every pending event; true when one of them concerned a stored file (temporaries,
  // staged copies and the lock files do not count).
  virtual bool takeChanges() = 0;
};

// Whether a change to the file `name` of the documents directory changes what is stored: a
// property list or an archive under its final name.
bool isStoredFileName(const std::string& name);

}  // namespace kestrio
