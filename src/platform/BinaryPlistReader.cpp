#include "platform/BinaryPlistReader.h"

#include <bit>
#include <vector>

namespace kestrio {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;

void appendUtf8(std::string& out, char32_t cp) {
  auto put = [&](unsigned v) { out.push_back(static_cast<char>(v)); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

bool isContainer(unsigned type) {
  return type == BinaryPlistReader::kArray || type == BinaryPlistReader::kOrderedSet ||
         type == BinaryPlistReader::kSet || type == BinaryPlistReader::kDictionary;
}

}  // namespace

BinaryPlistReader::BinaryPlistReader(std::string_view bytes) : bytes_(bytes) {
  if (bytes_.size() < kHeaderSize + kTrailerSize || !bytes_.starts_with("bplist00")) return;
  const size_t trailer = bytes_.size() - kTrailerSize;
  offsetSize_ = byte(trailer + 6);
  refSize_ = byte(trailer + 7);
  count_ = number(trailer + 8, 8);
  top_ = number(trailer + 16, 8);
  const std::uint64_t table = number(trailer + 24, 8);
  if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return;
  if (table < kHeaderSize || table > trailer) return;
  if (count_ == 0 || count_ > (trailer - table) / offsetSize_ || top_ >= count_) return;
  table_ = static_cast<size_t>(table);
  valid_ = true;
}

std::optional<BinaryPlistReader::Object> BinaryPlistReader::object(std::uint64_t index) const {
  if (!valid_ || index >= count_) return std::nullopt;
  const std::uint64_t at = offset(index);
  if (at < kHeaderSize || at >= table_) return std::nullopt;
  Object o{byte(at) >> 4, byte(at) & 0xF, 0, static_cast<size_t>(at) + 1};
  const size_t room = table_ - o.pos;
  std::uint64_t unit = 0;  // bytes a counted element takes
  switch (o.type) {
    case 0x0:  // false, true, or a marker without contents that scalar() refuses
      return o;
    case kInteger:
    case kReal:
    case kDate:
      // Integers of up to 16 bytes; reals and dates of up to 8.
      if (o.low > (o.type == kInteger ? 4u : 3u) || (size_t{1} << o.low) > room) {
        return std::nullopt;
      }
      return o;
    case kUid:
      if (o.low > 7 || o.low + 1u > room) return std::nullopt;
      return o;
    case kData:
    case kAscii:
      unit = 1;
      break;
    case kUtf16:
      unit = 2;
      break;
    case kArray:
    case kOrderedSet:
    case kSet:
      unit = refSize_;
      break;
    case kDictionary:
      unit = 2 * refSize_;
      break;
    default:
      return std::nullopt;
  }
  o.count = o.low;
  if (o.low == 0xF) {
    // The count follows as an integer object of 1 to 8 bytes.
    if (room < 1 || (byte(o.pos) >> 4) != kInteger || (byte(o.pos) & 0xF) > 3) return std::nullopt;
    const size_t width = size_t{1} << (byte(o.pos) & 0xF);
    if (width + 1 > room) return std::nullopt;
    o.count = number(o.pos + 1, width);
    o.pos += width + 1;
  }
  if (o.count > (table_ - o.pos) / unit) return std::nullopt;
  return o;
}

std::uint64_t BinaryPlistReader::ref(const Object& container, std::uint64_t i) const {
  return number(container.pos + static_cast<size_t>(i) * refSize_, refSize_);
}

std::optional<std::string> BinaryPlistReader::string(std::uint64_t index) const {
  auto o = object(index);
  if (!o || (o->type != kAscii && o->type != kUtf16)) return std::nullopt;
  return text(*o);
}

std::string BinaryPlistReader::text(const Object& o) const {
  if (o.type == kAscii) return std::string(bytes_.substr(o.pos, static_cast<size_t>(o.count)));
  std::string out;
  out.reserve(static_cast<size_t>(o.count) * 2);
  for (std::uint64_t i = 0; i < o.count; ++i) {
    auto cp = static_cast<char32_t>(number(o.pos + 2 * i, 2));
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < o.count) {
      const auto low = static_cast<char32_t>(number(o.pos + 2 * i + 2, 2));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // a lone surrogate
    appendUtf8(out, cp);
  }
  return out;
}

bool BinaryPlistReader::isAscii(std::uint64_t index, std::string_view text) const {
  auto o = object(index);
  return o && o->type == kAscii && o->count == text.size() &&
         bytes_.substr(o->pos, text.size()) == text;
}

std::optional<PlistValue> BinaryPlistReader::scalar(const Object& o) const {
  switch (o.type) {
    case 0x0:
      if (o.low == 0x8 || o.low == 0x9) return PlistValue(o.low == 0x9);
      return std::nullopt;
    case kInteger: {
      if (o.low <= 2)
        return PlistValue(static_cast<std::int64_t>(number(o.pos, size_t{1} << o.low)));
      if (o.low == 3) return PlistValue(std::bit_cast<std::int64_t>(number(o.pos, 8)));
      // 128 bits, signed: only values that leave the 64-bit range become reals.
      const auto high = std::bit_cast<std::int64_t>(number(o.pos, 8));
      const std::uint64_t low = number(o.pos + 8, 8);
      const bool lowNegative = (low >> 63) != 0;
      if ((high == 0 && !lowNegative) || (high == -1 && lowNegative)) {
        return PlistValue(std::bit_cast<std::int64_t>(low));
      }
      return PlistValue(static_cast<double>(high) * 18446744073709551616.0 +
                        static_cast<double>(low));
    }
    case kReal:
      if (o.low == 2)
        return PlistValue(
            double{std::bit_cast<float>(static_cast<std::uint32_t>(number(o.pos, 4)))});
      if (o.low == 3) return PlistValue(std::bit_cast<double>(number(o.pos, 8)));
      return std::nullopt;
    case kDate:
      if (o.low != 3) return std::nullopt;
      return PlistValue(
          Date::fromSecondsSinceReferenceDate(std::bit_cast<double>(number(o.pos, 8))));
    case kData: {
      auto begin = reinterpret_cast<const std::uint8_t*>(bytes_.data() + o.pos);
      return PlistValue(PlistValue::Data(begin, begin + o.count));
    }
    case kAscii:
    case kUtf16:
      return PlistValue(text(o));
    case kUid:
      return PlistValue(PlistValue::Uid{number(o.pos, o.low + 1u)});
    default:
      return std::nullopt;
  }
}

std::optional<PlistValue> BinaryPlistReader::read() const {
  if (!valid_) return std::nullopt;
  // What the value may take, counted as 16 bytes a node and a container's slot plus the bytes of
  // strings and data: a plain tree takes a few times its file, only shared references take more.
  const std::uint64_t budget = (std::uint64_t{1} << 20) + 64 * std::uint64_t{bytes_.size()};
  std::uint64_t spent = 0;
  auto spend = [&](std::uint64_t cost) {
    spent += cost;
    return spent <= budget;
  };

  std::vector<bool> open(static_cast<size_t>(count_), false);  // containers being read
  struct Frame {
    std::uint64_t index = 0;
    Object object;
    PlistValue value;
    std::uint64_t next = 0;
    std::string key;  // of the value being read into a dictionary
  };
  std::vector<Frame> stack;
  PlistValue made;  // the last scalar made

  enum class Entered { kFailed, kScalar, kContainer };
  auto enter = [&](std::uint64_t index) {
    auto o = object(index);
    if (!o) return Entered::kFailed;
    if (!isContainer(o->type)) {
      std::optional<PlistValue> value = scalar(*o);
      const std::uint64_t payload = o->type == kUtf16 ? 2 * o->count : o->count;
      if (!value || !spend(16 + payload)) return Entered::kFailed;
      made = std::move(*value);
      return Entered::kScalar;
    }
    if (open[index] || static_cast<int>(stack.size()) >= kMaxPlistDepth) return Entered::kFailed;
    if (!spend(16 * (1 + o->count))) return Entered::kFailed;
    open[index] = true;
    // Built in place: moving a whole frame in makes GCC 12's optimiser warn about the empty
    // dictionary it moves (-Wmaybe-uninitialized, a false positive).
    Frame& frame = stack.emplace_back();
    frame.index = index;
    frame.object = *o;
    if (o->type != kDictionary) {
      PlistValue::Array items;
      items.reserve(static_cast<size_t>(o->count));
      frame.value = PlistValue(std::move(items));
    }
    return Entered::kContainer;
  };
  auto attach = [](Frame& frame, PlistValue value) {
    if (auto* items = frame.value.get<PlistValue::Array>()) {
      items->push_back(std::move(value));
    } else {
      // A repeated key: the last value stands.
      frame.value.get<PlistValue::Dictionary>()->insert_or_assign(std::move(frame.key),
                                                                  std::move(value));
    }
  };

  switch (enter(top_)) {
    case Entered::kFailed:
      return std::nullopt;
    case Entered::kScalar:
      return made;
    case Entered::kContainer:
      break;
  }
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.object.count) {
      const std::uint64_t i = frame.next++;
      std::uint64_t child = 0;
      if (frame.object.type == kDictionary) {
        auto key = string(ref(frame.object, i));
        if (!key || key->find('\0') != std::string::npos || !spend(16 + key->size())) {
          return std::nullopt;
        }
        frame.key = std::move(*key);
        child = ref(frame.object, frame.object.count + i);
      } else {
        child = ref(frame.object, i);
      }
      switch (enter(child)) {
        case Entered::kFailed:
          return std::nullopt;
        case Entered::kScalar:
          attach(stack.back(), std::move(made));
          break;
        case Entered::kContainer:  // read before the rest of `frame`
          break;
      }
      continue;
    }
    PlistValue done = std::move(frame.value);
    open[frame.index] = false;
    stack.pop_back();
    if (stack.empty()) return done;
    attach(stack.back(), std::move(done));
  }
  return std::nullopt;
}

std::optional<PlistValue> readBinaryPlist(std::string_view bytes) {
  return BinaryPlistReader(bytes).read();
}

}  // namespace kestrio
