#include "platform/PropertyList.h"

#include <plist/plist.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>

#include "platform/BinaryPlistReader.h"
#include "platform/BinaryPlistWriter.h"
#include "platform/SafeText.h"

// XML lists go through libplist 2.2, binary lists through our own reader and writer
// (BinaryPlistReader, BinaryPlistWriter). libplist, as it measures here:
// - Dates are whole seconds since 2001-01-01 in 32 bits plus microseconds. A date outside
//   1932-12-13 20:45:52 UTC ... 2069-01-19 03:14:07 UTC is written clamped to the nearest end of
//   that range (a "distant future" stays in the far future rather than wrapping into the past);
//   a date that is not a number is written as the reference date 2001-01-01. Our binary writer
//   keeps the same range.
// - XML dates carry whole seconds only: toXml writes the second the instant falls in (rounded
//   down), and parse reads whole seconds. Binary dates keep microseconds.
// - XML has no UID element: a UID is written as the dictionary {"CF$UID": n}, and parse turns
//   such a one-key dictionary of an XML list back into a UID, as readers of keyed archives do.
// - Strings and keys are C strings inside libplist: a string is cut at an embedded NUL.
// - Integers are kept as unsigned 64-bit values with a hidden width; an integer above INT64_MAX
//   (only other writers produce one) is read as a real of that magnitude, not as a negative number.
// - The parser and the release of a tree recurse once per nesting level: XML nested deeper than
//   kMaxPlistDepth containers is refused before libplist sees it, so no input can exhaust the
//   stack.

namespace kestrio::plist {
namespace {

constexpr int kMaxDepth = kMaxPlistDepth;

struct PlistFree {
  void operator()(void* node) const { plist_free(node); }
};
using Tree = std::unique_ptr<void, PlistFree>;

struct MallocFree {
  void operator()(void* p) const { std::free(p); }
};

// ---------------------------------------------------------------------------------------------
// The guard run before libplist parses XML.

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

// ---------------------------------------------------------------------------------------------
// libplist tree -> PlistValue

Date dateOf(plist_t node) {
  int32_t sec = 0;
  int32_t usec = 0;
  plist_get_date_val(node, &sec, &usec);
  // libplist truncates towards zero and reports the fraction's magnitude: -1.5 is (-1, 500000).
  double fraction = std::abs(usec) / 1e6;
  double seconds = sec < 0 ? sec - fraction : sec + fraction;
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
    if (plist_dict_get_size(node) == 1) {
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
  if (bytes.starts_with("bplist00")) return readBinaryPlist(bytes);
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  if (!xmlNestingWithin(bytes, kMaxDepth)) return std::nullopt;
  std::string terminated(bytes);  // so the reader's C string functions stop at the end
  plist_t raw = nullptr;  // libplist crashes on bad XML unless the out-pointer starts as NULL
  plist_from_xml(terminated.c_str(), static_cast<uint32_t>(terminated.size()), &raw);
  Tree root(raw);
  if (!root) return std::nullopt;
  PlistValue value;
  if (!Converter().convert(root.get(), 0, value)) return std::nullopt;
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
