#include "platform/PropertyList.h"

#include <plist/plist.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "platform/BinaryPlistWriter.h"
#include "platform/SafeText.h"

// libplist 2.2 is used as it measures here:
// - Dates are whole seconds since 2001-01-01 in 32 bits plus microseconds. A date outside
//   1932-12-13 20:45:52 UTC ... 2069-01-19 03:14:07 UTC is written clamped to the nearest end of
//   that range (a "distant future" stays in the far future rather than wrapping into the past);
//   a date that is not a number is written as the reference date 2001-01-01.
// - XML dates carry whole seconds only: toXml writes the second the instant falls in (rounded
//   down), and parse reads whole seconds. Binary dates keep microseconds.
// - XML has no UID element: a UID is written as the dictionary {"CF$UID": n}, and parse turns
//   such a one-key dictionary of an XML list back into a UID, as readers of keyed archives do.
// - The binary writer keeps 32 bits of a UID (a wider one came out as 0, the "$null" object); no
//   archive has that many objects, so a wider UID is written as 0xFFFFFFFF, which points nowhere.
// - Strings and keys are C strings inside libplist: a string is cut at an embedded NUL.
// - Integers are kept as unsigned 64-bit values with a hidden width; an integer above INT64_MAX
//   (only other writers produce one) is read as a real of that magnitude, not as a negative number.
// - The parser and the release of a tree recurse once per nesting level, and the binary reader
//   expands every shared reference into a copy. Input nested deeper than kMaxDepth containers, and
//   binary input whose expansion would be far larger than the file, is refused before libplist sees
//   it, so no input can exhaust the stack or the memory.

namespace kestrio::plist {
namespace {

constexpr int kMaxDepth = 256;
constexpr std::string_view kBinaryMagic = "bplist00";

struct PlistFree {
  void operator()(void* node) const { plist_free(node); }
};
using Tree = std::unique_ptr<void, PlistFree>;

struct MallocFree {
  void operator()(void* p) const { std::free(p); }
};

// ---------------------------------------------------------------------------------------------
// Guards run before libplist parses.

bool startsWith(std::string_view s, size_t pos, std::string_view prefix) {
  return s.size() - pos >= prefix.size() && s.compare(pos, prefix.size(), prefix) == 0;
}

bool endsName(std::string_view s, size_t pos) {
  if (pos >= s.size()) return true;
  char c = s[pos];
  return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Nesting depth of <array> and <dict> elements in XML text, stopping early once it exceeds
// `limit`. Comments, CDATA sections and declarations are skipped, so a closing tag hidden in
// them cannot lower the count; a closing tag without an opening one never lowers it below zero.
bool xmlNestingWithin(std::string_view xml, int limit) {
  int depth = 0;
  size_t pos = 0;
  auto skipPast = [&](std::string_view terminator) {
    size_t end = xml.find(terminator, pos);
    pos = end == std::string_view::npos ? xml.size() : end + terminator.size();
  };
  while ((pos = xml.find('<', pos)) != std::string_view::npos) {
    if (startsWith(xml, pos, "<!--")) {
      pos += 4;
      skipPast("-->");
    } else if (startsWith(xml, pos, "<![CDATA[")) {
      pos += 9;
      skipPast("]]>");
    } else if (startsWith(xml, pos, "<!")) {
      // A declaration; an internal subset in brackets may hold '>' characters.
      int brackets = 0;
      for (pos += 2; pos < xml.size(); ++pos) {
        char c = xml[pos];
        if (c == '[') ++brackets;
        if (c == ']' && brackets > 0) --brackets;
        if (c == '>' && brackets == 0) break;
      }
    } else if (startsWith(xml, pos, "</array") && endsName(xml, pos + 7)) {
      depth = std::max(0, depth - 1);
      pos += 7;
    } else if (startsWith(xml, pos, "</dict") && endsName(xml, pos + 6)) {
      depth = std::max(0, depth - 1);
      pos += 6;
    } else if ((startsWith(xml, pos, "<array") && endsName(xml, pos + 6)) ||
               (startsWith(xml, pos, "<dict") && endsName(xml, pos + 5))) {
      size_t close = xml.find('>', pos);
      if (close == std::string_view::npos) return true;  // truncated: libplist refuses it
      if (xml[close - 1] != '/' && ++depth > limit) return false;
      pos = close + 1;
    } else {
      ++pos;
    }
  }
  return true;
}

// The layout of a binary property list: a header, the objects, a table of object offsets and a
// 32-byte trailer describing the table.
class BinaryLayout {
 public:
  explicit BinaryLayout(std::string_view bytes) : bytes_(bytes) {
    if (bytes.size() < kBinaryMagic.size() + kTrailerSize) return;
    size_t trailer = bytes.size() - kTrailerSize;
    offsetSize_ = byte(trailer + 6);
    refSize_ = byte(trailer + 7);
    std::uint64_t count = readUInt(trailer + 8, 8);
    top_ = readUInt(trailer + 16, 8);
    std::uint64_t table = readUInt(trailer + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return;
    if (table < kBinaryMagic.size() || table > trailer) return;
    if (count == 0 || count > (trailer - table) / offsetSize_ || top_ >= count) return;
    table_ = static_cast<size_t>(table);
    count_ = static_cast<size_t>(count);
    valid_ = true;
  }

  bool valid() const { return valid_; }
  size_t count() const { return count_; }
  size_t top() const { return static_cast<size_t>(top_); }

  // The start of object `index` within the object area, or nothing when it lies outside it.
  std::optional<size_t> offset(size_t index) const {
    std::uint64_t at = readUInt(table_ + index * offsetSize_, offsetSize_);
    if (at < kBinaryMagic.size() || at >= table_) return std::nullopt;
    return static_cast<size_t>(at);
  }

  // The references an object holds: where they start and how many. Scalars hold none.
  struct Refs {
    size_t start = 0;
    size_t count = 0;
  };
  std::optional<Refs> refs(size_t index) const {
    auto at = offset(index);
    if (!at) return std::nullopt;
    size_t pos = *at;
    unsigned marker = byte(pos++);
    unsigned type = marker >> 4;
    bool isArrayOrSet = type == 0xA || type == 0xB || type == 0xC;
    if (!isArrayOrSet && type != 0xD) return Refs{};
    std::uint64_t count = marker & 0xF;
    if (count == 0xF) {
      if (pos >= table_) return std::nullopt;
      unsigned intMarker = byte(pos++);
      if ((intMarker >> 4) != 0x1 || (intMarker & 0xF) > 3) return std::nullopt;
      size_t width = size_t{1} << (intMarker & 0xF);
      if (width > table_ - pos) return std::nullopt;
      count = readUInt(pos, width);
      pos += width;
    }
    if (type == 0xD) {
      if (count > std::numeric_limits<std::uint64_t>::max() / 2) return std::nullopt;
      count *= 2;
    }
    if (count > (table_ - pos) / refSize_) return std::nullopt;
    return Refs{pos, static_cast<size_t>(count)};
  }

  std::uint64_t ref(const Refs& refs, size_t i) const {
    return readUInt(refs.start + i * refSize_, refSize_);
  }

 private:
  static constexpr size_t kTrailerSize = 32;

  unsigned byte(size_t pos) const { return static_cast<unsigned char>(bytes_[pos]); }
  std::uint64_t readUInt(size_t pos, size_t width) const {
    std::uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) v = (v << 8) | byte(pos + i);
    return v;
  }

  std::string_view bytes_;
  unsigned offsetSize_ = 0;
  unsigned refSize_ = 0;
  std::uint64_t top_ = 0;
  size_t table_ = 0;
  size_t count_ = 0;
  bool valid_ = false;
};

// Walks the object graph of a binary list without recursion: refuses cycles, containers nested
// deeper than kMaxDepth, and graphs whose shared references would expand into far more nodes than
// the file could hold as a plain tree.
bool binaryGraphSafe(std::string_view bytes) {
  BinaryLayout layout(bytes);
  if (!layout.valid()) return false;
  const std::uint64_t maxNodes = 65536 + 4 * std::uint64_t{bytes.size()};

  enum : std::uint8_t { kUnseen, kOpen, kDone };
  std::vector<std::uint8_t> state(layout.count(), kUnseen);
  std::vector<std::uint16_t> depth(layout.count(), 0);  // containers, this one included
  std::vector<std::uint64_t> nodes(layout.count(), 0);  // nodes of the expanded subtree
  struct Frame {
    size_t index;
    BinaryLayout::Refs refs;
    size_t next = 0;
    int childDepth = 0;
    std::uint64_t childNodes = 0;
  };
  std::vector<Frame> stack;

  // Opens an object; scalars are finished at once.
  auto open = [&](size_t index) -> bool {
    auto refs = layout.refs(index);
    if (!refs) return false;
    auto at = layout.offset(index);
    unsigned type = static_cast<unsigned char>(bytes[*at]) >> 4;
    bool container = type == 0xA || type == 0xB || type == 0xC || type == 0xD;
    if (!container) {
      state[index] = kDone;
      nodes[index] = 1;
      return true;
    }
    if (static_cast<int>(stack.size()) >= kMaxDepth) return false;
    state[index] = kOpen;
    stack.push_back(Frame{index, *refs});
    return true;
  };

  if (!open(layout.top())) return false;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.refs.count) {
      std::uint64_t child = layout.ref(frame.refs, frame.next++);
      if (child >= layout.count()) return false;
      size_t c = static_cast<size_t>(child);
      if (state[c] == kOpen) return false;  // a cycle
      if (state[c] == kUnseen) {
        if (!open(c)) return false;
        if (state[c] == kOpen) continue;  // `frame` may have moved; the child is on top now
      }
      if (state[c] == kDone) {
        frame.childDepth = std::max<int>(frame.childDepth, depth[c]);
        frame.childNodes += nodes[c];
        if (frame.childNodes > maxNodes) return false;
      }
      continue;
    }
    size_t index = frame.index;
    depth[index] = static_cast<std::uint16_t>(frame.childDepth + 1);
    nodes[index] = frame.childNodes + 1;
    state[index] = kDone;
    stack.pop_back();
    if (!stack.empty()) {
      Frame& parent = stack.back();
      parent.childDepth = std::max<int>(parent.childDepth, depth[index]);
      parent.childNodes += nodes[index];
      if (parent.childNodes > maxNodes) return false;
    }
  }
  return true;
}

// libplist aborts the process (an assertion) on a dictionary key holding U+0000, which only a
// UTF-16 string can carry and a damaged file can contain. Each key object is checked once.
bool binaryKeysSafe(std::string_view bytes) {
  BinaryLayout layout(bytes);
  if (!layout.valid()) return false;
  std::vector<bool> checked(layout.count(), false);
  auto keySafe = [&](std::uint64_t index) {
    if (index >= layout.count() || checked[index]) return true;
    checked[index] = true;
    auto at = layout.offset(static_cast<size_t>(index));
    if (!at) return true;  // refused elsewhere
    unsigned marker = static_cast<unsigned char>(bytes[*at]);
    if ((marker >> 4) != 0x6) return true;
    // A UTF-16 string: its count, then two bytes a unit.
    size_t pos = *at + 1;
    std::uint64_t units = marker & 0xF;
    if (units == 0xF) {
      if (pos >= bytes.size()) return true;
      unsigned intMarker = static_cast<unsigned char>(bytes[pos++]);
      if ((intMarker >> 4) != 0x1 || (intMarker & 0xF) > 3) return true;
      size_t width = size_t{1} << (intMarker & 0xF);
      if (width > bytes.size() - pos) return true;
      units = 0;
      for (size_t i = 0; i < width; ++i)
        units = (units << 8) | static_cast<unsigned char>(bytes[pos + i]);
      pos += width;
    }
    units = std::min<std::uint64_t>(units, (bytes.size() - pos) / 2);
    for (std::uint64_t k = 0; k < units; ++k) {
      if (bytes[pos + 2 * k] == 0 && bytes[pos + 2 * k + 1] == 0) return false;
    }
    return true;
  };
  for (size_t index = 0; index < layout.count(); ++index) {
    auto at = layout.offset(index);
    if (!at || (static_cast<unsigned char>(bytes[*at]) >> 4) != 0xD) continue;
    auto refs = layout.refs(index);
    if (!refs) continue;
    for (size_t i = 0; i < refs->count / 2; ++i) {
      if (!keySafe(layout.ref(*refs, i))) return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// libplist tree -> PlistValue

// The 8-byte float of a single-object binary list, the only way to read a date's sign when it
// lies less than a second before the reference date (libplist reports the fraction unsigned).
std::optional<double> exactDateSeconds(plist_t node) {
  Tree copy(plist_copy(node));
  char* raw = nullptr;
  uint32_t length = 0;
  plist_to_bin(copy.get(), &raw, &length);
  if (!raw) return std::nullopt;
  std::unique_ptr<char, MallocFree> owned(raw);
  std::string_view bytes(raw, length);
  BinaryLayout layout(bytes);
  if (!layout.valid()) return std::nullopt;
  auto at = layout.offset(layout.top());
  if (!at || *at + 9 > bytes.size() || static_cast<unsigned char>(bytes[*at]) != 0x33) {
    return std::nullopt;
  }
  std::uint64_t bits = 0;
  for (size_t i = 1; i <= 8; ++i) bits = (bits << 8) | static_cast<unsigned char>(bytes[*at + i]);
  return std::bit_cast<double>(bits);
}

Date dateOf(plist_t node) {
  int32_t sec = 0;
  int32_t usec = 0;
  plist_get_date_val(node, &sec, &usec);
  // libplist truncates towards zero and reports the fraction's magnitude: -1.5 is (-1, 500000).
  double fraction = std::abs(usec) / 1e6;
  double seconds = sec < 0 ? sec - fraction : sec + fraction;
  if (sec == 0 && usec != 0) {
    if (auto exact = exactDateSeconds(node)) seconds = *exact;
  }
  return Date::fromSecondsSinceReferenceDate(seconds);
}

// Integers are stored unsigned with a hidden width: a negative number written by us or by another
// writer comes back above INT64_MAX, and so does a genuinely unsigned 128-bit one. libplist's XML
// writer tells them apart (it prints the former signed).
PlistValue integerOf(plist_t node) {
  uint64_t u = 0;
  plist_get_uint_val(node, &u);
  if (u <= static_cast<uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return PlistValue(static_cast<std::int64_t>(u));
  }
  Tree copy(plist_copy(node));
  char* raw = nullptr;
  uint32_t length = 0;
  plist_to_xml(copy.get(), &raw, &length);
  std::unique_ptr<char, MallocFree> owned(raw);
  bool negative = raw && std::string_view(raw, length).find("<integer>-") != std::string_view::npos;
  if (negative) return PlistValue(std::bit_cast<std::int64_t>(u));
  return PlistValue(static_cast<double>(u));
}

class Converter {
 public:
  explicit Converter(bool fromXml) : fromXml_(fromXml) {}

  bool convert(plist_t node, int depth, PlistValue& out) const {
    switch (plist_get_node_type(node)) {
      case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        out = PlistValue(b != 0);
        return true;
      }
      case PLIST_UINT:
        out = integerOf(node);
        return true;
      case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        out = PlistValue(d);
        return true;
      }
      case PLIST_STRING: {
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        out = PlistValue(s ? std::string(s, length) : std::string());
        return true;
      }
      case PLIST_DATE:
        out = PlistValue(dateOf(node));
        return true;
      case PLIST_DATA: {
        uint64_t length = 0;
        const char* d = plist_get_data_ptr(node, &length);
        auto* begin = reinterpret_cast<const std::uint8_t*>(d);
        out = PlistValue(d ? PlistValue::Data(begin, begin + length) : PlistValue::Data());
        return true;
      }
      case PLIST_UID: {
        uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        out = PlistValue(PlistValue::Uid{uid});
        return true;
      }
      case PLIST_ARRAY:
        return depth < kMaxDepth && convertArray(node, depth + 1, out);
      case PLIST_DICT:
        return depth < kMaxDepth && convertDict(node, depth + 1, out);
      default:
        return false;
    }
  }

 private:
  bool convertArray(plist_t node, int depth, PlistValue& out) const {
    PlistValue::Array items;
    items.reserve(plist_array_get_size(node));
    plist_array_iter raw = nullptr;
    plist_array_new_iter(node, &raw);
    std::unique_ptr<void, MallocFree> iter(raw);
    if (!iter) return false;
    for (;;) {
      plist_t item = nullptr;
      plist_array_next_item(node, iter.get(), &item);
      if (!item) break;
      if (!convert(item, depth, items.emplace_back())) return false;
    }
    out = PlistValue(std::move(items));
    return true;
  }

  bool convertDict(plist_t node, int depth, PlistValue& out) const {
    if (fromXml_ && plist_dict_get_size(node) == 1) {
      plist_t uid = plist_dict_get_item(node, "CF$UID");
      uint64_t value = 0;
      if (uid && plist_get_node_type(uid) == PLIST_UINT) {
        plist_get_uint_val(uid, &value);
        if (value <= static_cast<uint64_t>(std::numeric_limits<std::int64_t>::max())) {
          out = PlistValue(PlistValue::Uid{value});
          return true;
        }
      }
    }
    PlistValue::Dictionary entries;
    plist_dict_iter raw = nullptr;
    plist_dict_new_iter(node, &raw);
    std::unique_ptr<void, MallocFree> iter(raw);
    if (!iter) return false;
    for (;;) {
      char* rawKey = nullptr;
      plist_t item = nullptr;
      plist_dict_next_item(node, iter.get(), &rawKey, &item);
      std::unique_ptr<char, MallocFree> key(rawKey);
      if (!item) break;
      if (!key) return false;
      PlistValue value;
      if (!convert(item, depth, value)) return false;
      entries.insert_or_assign(std::string(key.get()), std::move(value));  // a repeated key: last
    }
    out = PlistValue(std::move(entries));
    return true;
  }

  bool fromXml_;
};

// ---------------------------------------------------------------------------------------------
// PlistValue -> libplist tree

plist_t newDate(Date date, bool wholeSeconds) {
  double seconds = date.secondsSinceReferenceDate();
  if (std::isnan(seconds)) seconds = 0;
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  double whole = std::floor(seconds);
  if (whole < kMin) return plist_new_date(std::numeric_limits<int32_t>::min(), 0);
  if (whole > kMax) return plist_new_date(std::numeric_limits<int32_t>::max(), 0);
  auto sec = static_cast<int32_t>(whole);
  auto usec = wholeSeconds ? 0 : static_cast<int32_t>(std::llround((seconds - whole) * 1e6));
  if (usec >= 1000000) {
    if (sec == std::numeric_limits<int32_t>::max()) return plist_new_date(sec, 0);
    ++sec;
    usec = 0;
  }
  return plist_new_date(sec, usec);
}

// libplist writes a string's bytes as they are, and XML readers (Python's plistlib, expat) refuse
// a whole file for one control character or malformed UTF-8 in it: such characters become
// U+FFFD. A string cut at an embedded NUL stays cut, as libplist would cut it.
std::string xmlText(const std::string& s, bool forXml) {
  std::string_view text(s.c_str());
  return forXml ? text::forXml(text) : std::string(text);
}

plist_t build(const PlistValue& value, bool forXml) {
  if (auto* b = value.get<bool>()) return plist_new_bool(*b ? 1 : 0);
  if (auto* i = value.get<std::int64_t>()) return plist_new_uint(static_cast<uint64_t>(*i));
  if (auto* d = value.get<double>()) return plist_new_real(*d);
  if (auto* s = value.get<std::string>()) return plist_new_string(xmlText(*s, forXml).c_str());
  if (auto* date = value.get<Date>()) return newDate(*date, forXml);
  if (auto* data = value.get<PlistValue::Data>()) {
    static const char kEmpty = 0;
    const char* bytes = data->empty() ? &kEmpty : reinterpret_cast<const char*>(data->data());
    return plist_new_data(bytes, data->size());
  }
  if (auto* uid = value.get<PlistValue::Uid>()) {
    constexpr std::uint64_t kMaxBinaryUid = 0xFFFFFFFF;
    return plist_new_uid(forXml ? uid->value : std::min(uid->value, kMaxBinaryUid));
  }
  if (auto* array = value.get<PlistValue::Array>()) {
    plist_t node = plist_new_array();
    for (const auto& item : *array) plist_array_append_item(node, build(item, forXml));
    return node;
  }
  plist_t node = plist_new_dict();
  for (const auto& [key, item] : *value.get<PlistValue::Dictionary>()) {
    plist_dict_set_item(node, xmlText(key, forXml).c_str(), build(item, forXml));
  }
  return node;
}

}  // namespace

std::optional<PlistValue> parse(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  bool binary = bytes.starts_with(kBinaryMagic);
  plist_t raw = nullptr;  // libplist crashes on bad XML unless the out-pointer starts as NULL
  if (binary) {
    if (!binaryGraphSafe(bytes) || !binaryKeysSafe(bytes)) return std::nullopt;
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
  } else {
    if (!xmlNestingWithin(bytes, kMaxDepth)) return std::nullopt;
    std::string terminated(bytes);  // so the reader's C string functions stop at the end
    plist_from_xml(terminated.c_str(), static_cast<uint32_t>(terminated.size()), &raw);
  }
  Tree root(raw);
  if (!root) return std::nullopt;
  PlistValue value;
  if (!Converter(!binary).convert(root.get(), 0, value)) return std::nullopt;
  return value;
}

std::string toXml(const PlistValue& value) {
  Tree root(build(value, true));
  char* raw = nullptr;
  uint32_t length = 0;
  plist_to_xml(root.get(), &raw, &length);
  if (!raw) return {};
  std::string xml(raw, length);
  plist_to_xml_free(raw);
  return xml;
}

std::string toBinary(const PlistValue& value) {
  return writeBinaryPlist(value);
}

}  // namespace kestrio::plist
