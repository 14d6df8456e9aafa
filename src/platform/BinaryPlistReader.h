#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/PlistValue.h"

namespace kestrio {

// The deepest nesting of arrays and dictionaries a property list may have to be read.
inline constexpr int kMaxPlistDepth = 256;

// Reads a binary property list ("bplist00": a header, the objects, a table of object offsets and a
// 32-byte trailer describing the table) without trusting it. Every offset, reference and count is
// checked against the file before it is followed, so nothing is read or allocated beyond what the
// file holds. Objects can be visited one by one (a reader that needs a few objects of a large file
// never makes the others), or the whole graph read as one value.
//
// What is read: integers of 1, 2 and 4 bytes as unsigned, of 8 bytes as signed, of 16 bytes as
// signed with a real of that magnitude where it leaves the 64-bit range; reals of 4 and 8 bytes;
// dates as seconds since 2001-01-01, as precise and signed as stored; ASCII strings byte for byte,
// UTF-16 strings as UTF-8 (a lone surrogate as U+FFFD); UIDs of 1 to 8 bytes; sets as arrays.
class BinaryPlistReader {
 public:
  explicit BinaryPlistReader(std::string_view bytes);

  // Whether the bytes start as a binary list and end in a trailer that fits them.
  bool valid() const { return valid_; }
  std::uint64_t count() const { return count_; }
  std::uint64_t top() const { return top_; }
  // Bytes a reference takes; where the object area ends (the offset table starts).
  unsigned refSize() const { return refSize_; }
  size_t objectAreaEnd() const { return table_; }
  // Where object `index` (below count()) starts as the offset table says, unchecked.
  std::uint64_t offset(std::uint64_t index) const {
    return number(table_ + static_cast<size_t>(index) * offsetSize_, offsetSize_);
  }

  // One object as its marker shows it: `type` is the high nibble of the marker, `low` the low one,
  // `count` the number of bytes, UTF-16 units or references (a dictionary's pairs) that follow,
  // `pos` where they start.
  struct Object {
    unsigned type = 0;
    unsigned low = 0;
    std::uint64_t count = 0;
    size_t pos = 0;
  };
  static constexpr unsigned kInteger = 0x1, kReal = 0x2, kDate = 0x3, kData = 0x4, kAscii = 0x5,
                            kUtf16 = 0x6, kUid = 0x8, kArray = 0xA, kOrderedSet = 0xB, kSet = 0xC,
                            kDictionary = 0xD;

  // Object `index`, or nothing when the index, its offset, its marker or its contents lie outside
  // the object area.
  std::optional<Object> object(std::uint64_t index) const;
  // The i-th reference an array or dictionary holds; a dictionary holds its keys, then its values.
  // The answer may be any number: object() checks it.
  std::uint64_t ref(const Object& container, std::uint64_t i) const;

  // The text of a string object; nothing for any other object.
  std::optional<std::string> string(std::uint64_t index) const;
  // The value of an object that holds no references; nothing for a container or an unknown kind.
  std::optional<PlistValue> scalar(const Object& object) const;
  // An ASCII string object equal to `text`, compared without making a copy.
  bool isAscii(std::uint64_t index, std::string_view text) const;

  // The whole list as one value. Nothing when an object is damaged, a reference points outside the
  // list or back into the containers that hold it (a cycle), containers nest deeper than
  // kMaxPlistDepth, a dictionary key is not a string or holds U+0000, or shared references would
  // expand into a value far larger than the file (about 64 bytes a byte of the file, plus 1 MiB).
  std::optional<PlistValue> read() const;

 private:
  unsigned byte(size_t pos) const { return static_cast<unsigned char>(bytes_[pos]); }
  std::string text(const Object& string) const;
  std::uint64_t number(size_t pos, size_t width) const {
    std::uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) v = (v << 8) | byte(pos + i);
    return v;
  }

  std::string_view bytes_;
  unsigned offsetSize_ = 0;
  unsigned refSize_ = 0;
  std::uint64_t count_ = 0;
  std::uint64_t top_ = 0;
  size_t table_ = 0;  // where the offset table starts: the end of the object area
  bool valid_ = false;
};

// Reads a whole binary property list (see BinaryPlistReader::read).
std::optional<PlistValue> readBinaryPlist(std::string_view bytes);

}  // namespace kestrio
