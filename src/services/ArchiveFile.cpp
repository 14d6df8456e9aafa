#include "services/ArchiveFile.h"

#include "platform/MoveAside.h"

namespace kestrio {

ArchiveFile::ArchiveFile(Platform& platform, std::string fileName, std::string topKey,
                         std::string className)
    : platform_(platform),
      fileName_(std::move(fileName)),
      topKey_(std::move(topKey)),
      className_(std::move(className)) {}

std::string ArchiveFile::path() const {
  return platform_.documentPath(fileName_);
}

ArchiveFile::Contents ArchiveFile::read() {
  FileSystem& files = platform_.files();
  const std::string file = path();
  auto decode = [&]() -> std::optional<Contents> {
    auto bytes = files.read(file);
    if (!bytes) return files.exists(file) ? std::nullopt : std::optional<Contents>(Contents{});
    if (bytes->empty()) return Contents{};
    auto objects = keyed::decodeList(*bytes, topKey_);
    if (!objects) return std::nullopt;
    return Contents{std::move(*objects), true};
  };
  if (auto contents = decode()) return std::move(*contents);

  // Another process may be replacing the file right now: decide under the lock, on what the
  // file holds then, so that a good file that has just arrived is never moved away.
  auto lock = platform_.lockDocuments();
  if (auto contents = decode()) return std::move(*contents);
  if (auto moved = moveAside(files, file, platform_.now())) {
    platform_.warn("Could not read " + file + "; moved it aside to " + *moved);
  } else {
    platform_.warn("Could not read " + file + " and could not move it aside to keep it");
  }
  return {};
}

bool ArchiveFile::write(const std::vector<keyed::Object>& objects) {
  const std::string bytes = keyed::encodeList(topKey_, className_, objects);
  // A pass that changed nothing (no custom counters, none running) stores what the file already
  // holds: each durable write costs syncs of the disk, and this one would change nothing.
  if (platform_.files().read(path()) == bytes) return true;
  if (!platform_.files().writeAtomically(path(), bytes)) {
    platform_.warn("Writing data to file failed");
    return false;
  }
  return true;
}

bool ArchiveFile::append(const keyed::Object& object) {
  // Appending in place keeps a large archive in memory once.
  switch (platform_.files().editInPlace(path(), [&](std::string& bytes) {
    return !bytes.empty() && keyed::appendToList(bytes, topKey_, object);
  })) {
    case FileSystem::Edit::kStored:
      return true;
    case FileSystem::Edit::kNotStored:
      platform_.warn("Writing data to file failed");
      return false;
    case FileSystem::Edit::kNotEdited:
      break;
  }
  // A missing, empty, damaged or unusual archive: the whole way.
  std::vector<keyed::Object> objects = read().objects;
  objects.push_back(object);
  return write(objects);
}

}  // namespace kestrio
