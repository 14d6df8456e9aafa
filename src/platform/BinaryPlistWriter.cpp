#include "platform/BinaryPlistWriter.h"

namespace kestrio {

namespace binary_plist_detail {

// The smallest number of bytes, 1 to 8, that holds `v`.
unsigned bytesFor(std::uint64_t v) {
  unsigned n = 1;
  while (n < 8 && (v >> (8 * n)) != 0) ++n;
  return n;
}

// UTF-8 to UTF-16 code units; each malformed sequence (stray continuation byte, overlong form,
// encoded surrogate, beyond U+10FFFF, cut short) becomes one U+FFFD.
std::u16string utf16Of(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned lead = byte(i);
    unsigned length = lead < 0x80                    ? 1
                      : lead >= 0xC2 && lead <= 0xDF ? 2
                      : (lead >> 4) == 0xE           ? 3
                      : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                     : 0;
    char32_t cp = length == 1   ? lead
                  : length == 2 ? lead & 0x1F
                  : length == 3 ? lead & 0x0F
                                : lead & 0x07;
    bool ok = length != 0 && i + length <= s.size();
    for (unsigned k = 1; ok && k < length; ++k) {
      unsigned next = byte(i + k);
      ok = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (ok && length == 3) ok = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF);
    if (ok && length == 4) ok = cp >= 0x10000 && cp <= 0x10FFFF;
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += length;
  }
  return out;
}

}  // namespace binary_plist_detail

void BinaryPlistBuilder::putMarker(std::string& out, unsigned type, std::uint64_t count) {
  if (count < 15) {
    out.push_back(static_cast<char>((type << 4) | count));
  } else {
    out.push_back(static_cast<char>((type << 4) | 0xF));
    putInteger(out, count);
  }
}

void BinaryPlistBuilder::putInteger(std::string& out, std::uint64_t u) {
  const unsigned width = u <= 0xFF ? 1 : u <= 0xFFFF ? 2 : u <= 0xFFFFFFFF ? 4 : 8;
  out.push_back(static_cast<char>(0x10 | std::countr_zero(width)));
  putBigEndian(out, u, width);
}

BinaryPlistBuilder::Ref BinaryPlistBuilder::addInteger(std::int64_t v) {
  if (v < 0) return addEightBytes(0x13, static_cast<std::uint64_t>(v));  // always 8 bytes
  Ref ref = beginScalar();
  putInteger(scalars_, static_cast<std::uint64_t>(v));
  return endScalar(ref);
}

BinaryPlistBuilder::Ref BinaryPlistBuilder::addDate(Date date) {
  double seconds = date.secondsSinceReferenceDate();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  const double whole = std::floor(seconds);
  if (std::isnan(seconds)) {
    seconds = 0;
  } else if (whole < kMin) {
    seconds = kMin;
  } else if (whole > kMax) {
    seconds = kMax;
  } else {
    const double usec = static_cast<double>(std::llround((seconds - whole) * 1e6));
    seconds = usec < 1e6 ? whole + usec / 1e6 : whole == kMax ? kMax : whole + 1;
  }
  return addEightBytes(0x33, std::bit_cast<std::uint64_t>(seconds));
}

BinaryPlistBuilder::Ref BinaryPlistBuilder::addString(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  auto [it, inserted] = strings_.try_emplace(text, objects_.size());
  if (!inserted) return it->second;
  Ref ref = beginScalar();
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
    putMarker(scalars_, 0x5, text.size());
    scalars_.append(text);
  } else {
    const std::u16string units = binary_plist_detail::utf16Of(text);
    putMarker(scalars_, 0x6, units.size());
    for (char16_t unit : units) putBigEndian(scalars_, unit, 2);
  }
  return endScalar(ref);
}

BinaryPlistBuilder::Ref BinaryPlistBuilder::addData(std::span<const std::uint8_t> bytes) {
  Ref ref = beginScalar();
  putMarker(scalars_, 0x4, bytes.size());
  scalars_.append(bytes.begin(), bytes.end());
  return endScalar(ref);
}

BinaryPlistBuilder::Ref BinaryPlistBuilder::addUid(std::uint64_t value) {
  auto [it, inserted] = uids_.try_emplace(value, objects_.size());
  if (!inserted) return it->second;
  value = std::min<std::uint64_t>(value, 0xFFFFFFFF);
  const unsigned width = value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : 4;
  Ref ref = beginScalar();
  scalars_.push_back(static_cast<char>(0x80 | (width - 1)));
  putBigEndian(scalars_, value, width);
  return endScalar(ref);
}

std::string BinaryPlistBuilder::finish(Ref top) {
  using binary_plist_detail::bytesFor;
  const unsigned refSize = bytesFor(objects_.empty() ? 0 : objects_.size() - 1);
  std::string out = "bplist00";
  out.reserve(8 + scalars_.size() + refs_.size() * refSize + objects_.size() * 8 + 32);
  std::vector<std::uint64_t> offsets;
  offsets.reserve(objects_.size());
  for (const Object& object : objects_) {
    offsets.push_back(out.size());
    if (!object.container) {
      out.append(scalars_, object.begin, object.end - object.begin);
      continue;
    }
    putMarker(out, object.marker, object.count);
    for (size_t i = object.begin; i < object.end; ++i) putBigEndian(out, refs_[i], refSize);
  }
  const std::uint64_t table = out.size();
  const unsigned offsetSize = bytesFor(table);
  for (std::uint64_t offset : offsets) putBigEndian(out, offset, offsetSize);
  out.append(6, '\0');
  out.push_back(static_cast<char>(offsetSize));
  out.push_back(static_cast<char>(refSize));
  putBigEndian(out, objects_.size(), 8);
  putBigEndian(out, top, 8);
  putBigEndian(out, table, 8);
  return out;
}

namespace binary_plist_detail {

BinaryPlistBuilder::Ref add(BinaryPlistBuilder& builder, const PlistValue& value,
                            std::vector<BinaryPlistBuilder::Ref>& scratch) {
  if (auto* b = value.get<bool>()) return builder.addBool(*b);
  if (auto* i = value.get<std::int64_t>()) return builder.addInteger(*i);
  if (auto* d = value.get<double>()) return builder.addReal(*d);
  if (auto* s = value.get<std::string>()) return builder.addString(*s);
  if (auto* date = value.get<Date>()) return builder.addDate(*date);
  if (auto* data = value.get<PlistValue::Data>()) return builder.addData(*data);
  if (auto* uid = value.get<PlistValue::Uid>()) return builder.addUid(uid->value);
  // The children's references go on a shared stack, above those of the containers around.
  const size_t base = scratch.size();
  if (auto* array = value.get<PlistValue::Array>()) {
    for (const auto& item : *array) {
      auto ref = add(builder, item, scratch);
      scratch.push_back(ref);
    }
    auto ref = builder.addArray(std::span(scratch).subspan(base));
    scratch.resize(base);
    return ref;
  }
  const auto& dict = *value.get<PlistValue::Dictionary>();
  for (const auto& entry : dict) scratch.push_back(builder.addString(entry.first));
  for (const auto& entry : dict) {
    auto ref = add(builder, entry.second, scratch);
    scratch.push_back(ref);
  }
  auto all = std::span(scratch).subspan(base);
  auto ref = builder.addDictionary(all.first(dict.size()), all.subspan(dict.size()));
  scratch.resize(base);
  return ref;
}

}  // namespace binary_plist_detail

std::string writeBinaryPlist(const PlistValue& value) {
  BinaryPlistBuilder builder;
  std::vector<BinaryPlistBuilder::Ref> scratch;
  return builder.finish(binary_plist_detail::add(builder, value, scratch));
}

}  // namespace kestrio
