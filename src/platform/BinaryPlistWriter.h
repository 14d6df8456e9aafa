#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/PlistValue.h"

namespace kestrio {

// What the binary writer keeps matches the rest of our property-list code: dates as seconds since
// 2001-01-01 rounded to microseconds and clamped to the 32-bit range (NaN as the reference date);
// strings cut at an embedded NUL (a reader of C strings would cut them there, and our reader
// refuses a key holding one), as ASCII or, when they hold anything else, as UTF-16 (malformed UTF-8
// becomes U+FFFD); UIDs in at most 32 bits (a wider one as 0xFFFFFFFF, which points nowhere).

// Builds a binary property list ("bplist00") object by object, children before the containers
// that hold them; time and memory grow linearly with the objects. Equal strings and equal UIDs
// are stored once and shared. Strings passed in must outlive the builder.
class BinaryPlistBuilder {
 public:
  using Ref = std::uint64_t;

  Ref addBool(bool b) { return scalar(b ? "\x09" : "\x08", 1); }
  Ref addInteger(std::int64_t v);
  Ref addReal(double d) { return addEightBytes(0x23, std::bit_cast<std::uint64_t>(d)); }
  Ref addDate(Date date);
  Ref addString(std::string_view text);
  Ref addData(std::span<const std::uint8_t> bytes);
  Ref addUid(std::uint64_t value);
  Ref addArray(std::span<const Ref> items) { return container(0xA, items.size(), items, {}); }
  // Keys are string objects.
  Ref addDictionary(std::span<const Ref> keys, std::span<const Ref> values) {
    return container(0xD, keys.size(), keys, values);
  }

  // The whole list with `top` as its root object.
  std::string finish(Ref top);

 private:
  // Scalars are encoded at once into scalars_; containers keep their references in refs_.
  struct Object {
    bool container = false;
    std::uint8_t marker = 0;
    std::uint64_t count = 0;  // of a container
    size_t begin = 0;         // in scalars_ or refs_
    size_t end = 0;
  };

  static void putBigEndian(std::string& out, std::uint64_t v, unsigned width) {
    for (unsigned i = width; i-- > 0;) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  // A type marker with its count in the low nibble, or 0xF followed by the count as an integer.
  static void putMarker(std::string& out, unsigned type, std::uint64_t count);
  static void putInteger(std::string& out, std::uint64_t v);

  Ref scalar(const char* bytes, size_t size) {
    objects_.push_back(Object{false, 0, 0, scalars_.size(), scalars_.size() + size});
    scalars_.append(bytes, size);
    return objects_.size() - 1;
  }
  Ref beginScalar() {
    objects_.push_back(Object{false, 0, 0, scalars_.size(), 0});
    return objects_.size() - 1;
  }
  Ref endScalar(Ref ref) {
    objects_[ref].end = scalars_.size();
    return ref;
  }
  Ref addEightBytes(unsigned marker, std::uint64_t bits) {
    Ref ref = beginScalar();
    scalars_.push_back(static_cast<char>(marker));
    putBigEndian(scalars_, bits, 8);
    return endScalar(ref);
  }
  Ref container(unsigned type, std::uint64_t count, std::span<const Ref> first,
                std::span<const Ref> second) {
    objects_.push_back(Object{true, static_cast<std::uint8_t>(type), count, refs_.size(), 0});
    refs_.insert(refs_.end(), first.begin(), first.end());
    refs_.insert(refs_.end(), second.begin(), second.end());
    objects_.back().end = refs_.size();
    return objects_.size() - 1;
  }

  std::vector<Object> objects_;
  std::string scalars_;
  std::vector<Ref> refs_;
  std::unordered_map<std::string_view, Ref> strings_;
  std::unordered_map<std::uint64_t, Ref> uids_;
};

// Writes a whole value as a binary property list.
std::string writeBinaryPlist(const PlistValue& value);

}  // namespace kestrio
