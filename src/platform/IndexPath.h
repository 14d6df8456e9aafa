#pragma once

namespace kestrio {

// A row of a table screen: its section and its row within the section.
struct IndexPath {
  int section = 0;
  int row = 0;
  friend bool operator==(const IndexPath&, const IndexPath&) = default;
};

}  // namespace kestrio
