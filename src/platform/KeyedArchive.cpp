#include "platform/KeyedArchive.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/BinaryPlistReader.h"
#include "platform/BinaryPlistWriter.h"
#include "platform/PropertyList.h"

// What a keyed archiver writes for the calls our records make, and what this file writes:
// - encodeBool / encodeInt32 store the plain value inside the object's dictionary (bool, int64);
// - encodeObject stores a reference (UID) to an entry of "$objects": strings and numbers as plain
//   values there (a double field is such a number), dates as {"NS.time": seconds since 2001,
//   "$class": UID of NSDate}, nothing as UID 0, the "$null" entry.
// Reading also takes plain values where a reference was expected, since other writers differ.

namespace kestrio::keyed {
namespace {

using Array = PlistValue::Array;
using Dictionary = PlistValue::Dictionary;
using Uid = PlistValue::Uid;

// Writes the archive straight into a binary list, one object after the other.
class Encoder {
 public:
  using Ref = BinaryPlistBuilder::Ref;

  explicit Encoder(size_t expectedObjects) {
    archived_.reserve(2 + expectedObjects * 7);
    archive(builder_.addString("$null"));
  }

  // Makes a list object an entry of "$objects"; answers its index there (its UID).
  std::uint64_t archive(Ref ref) {
    archived_.push_back(ref);
    return archived_.size() - 1;
  }
  std::uint64_t reserve() { return archive(0); }
  void fill(std::uint64_t uid, Ref ref) { archived_[uid] = ref; }

  Ref uid(std::uint64_t value) { return builder_.addUid(value); }
  Ref key(std::string_view text) { return builder_.addString(text); }

  // One shared description per class.
  Ref classOf(std::string_view name, std::initializer_list<std::string_view> superclasses) {
    auto it = classes_.find(name);
    if (it != classes_.end()) return uid(it->second);
    std::vector<Ref> names{builder_.addString(name)};
    for (auto superclass : superclasses) names.push_back(builder_.addString(superclass));
    const Ref keys[] = {key("$classname"), key("$classes")};
    const Ref values[] = {names.front(), builder_.addArray(names)};
    const std::uint64_t at = archive(builder_.addDictionary(keys, values));
    classes_.emplace(name, at);
    return uid(at);
  }

  Ref field(const Field& value) {
    if (std::holds_alternative<std::monostate>(value)) return uid(0);
    if (auto* b = std::get_if<bool>(&value)) return builder_.addBool(*b);
    if (auto* i = std::get_if<std::int64_t>(&value)) return builder_.addInteger(*i);
    if (auto* d = std::get_if<double>(&value)) return uid(archive(builder_.addReal(*d)));
    if (auto* s = std::get_if<std::string>(&value)) return uid(archive(builder_.addString(*s)));
    const Date date = std::get<Date>(value);
    const Ref keys[] = {key("NS.time"), key("$class")};
    const Ref values[] = {builder_.addReal(date.secondsSinceReferenceDate()),
                          classOf("NSDate", {"NSObject"})};
    return uid(archive(builder_.addDictionary(keys, values)));
  }

  BinaryPlistBuilder& builder() { return builder_; }
  const std::vector<Ref>& archived() const { return archived_; }

 private:
  BinaryPlistBuilder builder_;
  std::vector<Ref> archived_;  // "$objects": the list object of each UID
  std::map<std::string_view, std::uint64_t> classes_;
};

// The field a plain value makes; nothing for a kind no field holds.
std::optional<Field> plainField(const PlistValue& value) {
  if (auto* b = value.get<bool>()) return Field(*b);
  if (auto* i = value.get<std::int64_t>()) return Field(*i);
  if (auto* d = value.get<double>()) return Field(*d);
  if (auto* s = value.get<std::string>()) return Field(*s);
  if (auto* date = value.get<Date>()) return Field(*date);
  return std::nullopt;
}

class Decoder {
 public:
  explicit Decoder(const Array& objects) : objects_(objects) {}

  // The entry a reference points to; nothing when it points outside "$objects".
  const PlistValue* resolve(const PlistValue& value) const {
    auto* uid = value.get<Uid>();
    if (!uid || uid->value >= objects_.size()) return nullptr;
    return &objects_[uid->value];
  }

  std::optional<Object> object(const PlistValue& ref) const {
    const PlistValue* target = resolve(ref);
    auto* dict = target ? target->get<Dictionary>() : nullptr;
    if (!dict) return std::nullopt;
    Object out;
    for (const auto& [key, value] : *dict) {
      if (key == "$class") continue;
      Outcome outcome = field(value);
      if (outcome.corrupt) return std::nullopt;
      if (outcome.field) out.emplace(key, std::move(*outcome.field));
    }
    return out;
  }

 private:
  struct Outcome {
    std::optional<Field> field;  // nothing: a value of a kind no field holds, left out
    bool corrupt = false;        // a reference that points nowhere
  };

  Outcome field(const PlistValue& value) const {
    auto* uid = value.get<Uid>();
    if (!uid) return {plainField(value)};
    if (uid->value == 0) return {Field{}};
    const PlistValue* target = resolve(value);
    if (!target) return {std::nullopt, true};
    if (auto* dict = target->get<Dictionary>()) {
      auto time = dict->find("NS.time");
      if (time != dict->end() && time->second.number()) {
        return {Date::fromSecondsSinceReferenceDate(*time->second.number())};
      }
      auto string = dict->find("NS.string");
      if (string != dict->end() && string->second.is<std::string>()) {
        return {*string->second.get<std::string>()};
      }
      return {};
    }
    return {plainField(*target)};
  }

  const Array& objects_;
};

// Pieces of the binary format, written as the builder writes them, for the objects an append adds.
void putBigEndian(std::string& out, std::uint64_t v, unsigned width) {
  for (unsigned i = width; i-- > 0;) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
// The smallest number of bytes, 1 to 8, that holds `v`.
unsigned bytesFor(std::uint64_t v) {
  unsigned n = 1;
  while (n < 8 && (v >> (8 * n)) != 0) ++n;
  return n;
}
void putUnsigned(std::string& out, std::uint64_t v) {
  const unsigned width = v <= 0xFF ? 1 : v <= 0xFFFF ? 2 : v <= 0xFFFFFFFF ? 4 : 8;
  out.push_back(static_cast<char>(0x10 | std::countr_zero(width)));
  putBigEndian(out, v, width);
}
// A type marker with its count in the low nibble, or 0xF followed by the count as an integer.
void putCount(std::string& out, unsigned type, std::uint64_t count) {
  if (count < 15) {
    out.push_back(static_cast<char>((type << 4) | count));
  } else {
    out.push_back(static_cast<char>((type << 4) | 0xF));
    putUnsigned(out, count);
  }
}
std::string integerBytes(std::int64_t v) {
  std::string out;
  if (v < 0) {
    out.push_back(static_cast<char>(0x13));
    putBigEndian(out, static_cast<std::uint64_t>(v), 8);
  } else {
    putUnsigned(out, static_cast<std::uint64_t>(v));
  }
  return out;
}
std::string realBytes(double d) {
  std::string out(1, static_cast<char>(0x23));
  putBigEndian(out, std::bit_cast<std::uint64_t>(d), 8);
  return out;
}

// The objects an append adds after the archive's own, numbered on from them, and the entries it
// adds to "$objects".
class Appender {
 public:
  Appender(std::uint64_t firstIndex, std::uint64_t firstArchived)
      : first_(firstIndex), firstArchived_(firstArchived) {}

  std::uint64_t object(std::string bytes) {
    objects_.push_back(std::move(bytes));
    return first_ + objects_.size() - 1;
  }
  std::uint64_t reserve() { return object({}); }
  void fill(std::uint64_t index, std::string bytes) { objects_[index - first_] = std::move(bytes); }
  // Makes an object an entry of "$objects"; answers its index there.
  std::uint64_t archive(std::uint64_t index) {
    archived_.push_back(index);
    return firstArchived_ + archived_.size() - 1;
  }
  std::uint64_t uid(std::uint64_t value) {
    const unsigned width = value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : 4;
    std::string bytes(1, static_cast<char>(0x80 | (width - 1)));
    putBigEndian(bytes, value, width);
    return object(std::move(bytes));
  }

  std::uint64_t count() const { return first_ + objects_.size(); }
  const std::vector<std::string>& objects() const { return objects_; }
  const std::vector<std::uint64_t>& archived() const { return archived_; }

 private:
  std::uint64_t first_;
  std::uint64_t firstArchived_;
  std::vector<std::string> objects_;
  std::vector<std::uint64_t> archived_;
};

// Reads a binary archive through the binary reader, visiting only the objects the list reaches,
// without building a tree of the whole file (far faster than reading it as one value). The reader
// checks every object against the object area; references that point outside it make the archive
// undecodable.
class BinaryDecoder {
 public:
  explicit BinaryDecoder(std::string_view bytes)
      : b_(bytes),
        reader_(bytes),
        refSize_(reader_.refSize()),
        count_(reader_.count()),
        top_(reader_.top()),
        table_(reader_.objectAreaEnd()),
        valid_(reader_.valid()) {}

  // The list under `topKey`. Without `keep` the archive is only checked as thoroughly, and the
  // list answered is empty.
  std::optional<std::vector<Object>> list(std::string_view topKey, bool keep = true) {
    if (!valid_) return std::nullopt;
    auto objects = dictValue(top_, "$objects");
    auto top = dictValue(top_, "$top");
    if (!objects || !top || !(objects_ = header(*objects)) || objects_->type != 0xA) {
      return std::nullopt;
    }
    auto listRef = top ? dictValue(*top, topKey) : std::nullopt;
    auto list = listRef ? resolve(*listRef) : std::nullopt;
    auto items = list ? dictValue(*list, "NS.objects") : std::nullopt;
    auto itemsHeader = items ? header(*items) : std::nullopt;
    if (!itemsHeader || itemsHeader->type != 0xA) return std::nullopt;
    objectsIndex_ = *objects;
    itemsIndex_ = *items;
    items_ = itemsHeader;
    std::vector<Object> out;
    if (keep) out.reserve(static_cast<size_t>(itemsHeader->count));
    for (std::uint64_t i = 0; i < itemsHeader->count; ++i) {
      auto record = resolve(ref(*itemsHeader, i));
      auto recordHeader = record ? header(*record) : std::nullopt;
      if (!recordHeader || recordHeader->type != 0xD) return std::nullopt;
      if (!keep) {
        if (!sound(*recordHeader)) return std::nullopt;
        continue;
      }
      Object& object = out.emplace_back();
      for (std::uint64_t k = 0; k < recordHeader->count; ++k) {
        auto key = string(ref(*recordHeader, k));
        if (!key) return std::nullopt;
        if (*key == "$class") continue;
        Outcome value = field(ref(*recordHeader, recordHeader->count + k));
        if (value.corrupt) return std::nullopt;
        if (value.field) object.insert_or_assign(std::move(*key), std::move(*value.field));
      }
    }
    return out;
  }

  // The archive with `object` added at the end of the list under `topKey`, every other object
  // copied as its bytes stand and keeping its index. Nothing when the archive is not one `list`
  // reads, or when such an append does not fit it: an empty list, a key or a kind of value its
  // last object does not show the way to, or references that would have to grow.
  bool append(std::string& bytes, std::string_view topKey, const Object& object) {
    if (!list(topKey, false) || items_->count == 0 || objectsIndex_ == itemsIndex_) {
      return false;
    }
    auto last = resolve(ref(*items_, items_->count - 1));
    auto lastHeader = last ? header(*last) : std::nullopt;
    if (!lastHeader || lastHeader->type != 0xD) return false;

    // The last object's keys, and how it refers to its class and to the date class.
    std::map<std::string_view, std::uint64_t> keyIndex;
    std::optional<std::uint64_t> classRef;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> timeKeyAndDateClass;
    std::optional<std::uint64_t> classKey;
    for (std::uint64_t k = 0; k < lastHeader->count; ++k) {
      const std::uint64_t keyAt = ref(*lastHeader, k);
      const std::uint64_t valueAt = ref(*lastHeader, lastHeader->count + k);
      auto keyHeader = header(keyAt);
      if (!keyHeader || keyHeader->type != 0x5) continue;
      const std::string_view name = b_.substr(keyHeader->pos, keyHeader->count);
      keyIndex.emplace(name, keyAt);
      if (name == "$class") classRef = valueAt;
      if (timeKeyAndDateClass) continue;
      auto target = resolve(valueAt);
      auto time = target ? dictEntry(*target, "NS.time") : std::nullopt;
      auto dateClass = target ? dictEntry(*target, "$class") : std::nullopt;
      if (time && dateClass) {
        timeKeyAndDateClass.emplace(time->first, dateClass->second);
        classKey = dateClass->first;
      }
    }
    if (!classRef || !keyIndex.contains("$class")) return false;

    Appender add(count_, objects_->count);
    const std::uint64_t record = add.reserve();
    const std::uint64_t recordAt = add.archive(record);
    std::vector<std::uint64_t> keys;
    std::vector<std::uint64_t> values;
    for (const auto& [name, value] : object) {
      if (name == "$class") continue;
      auto key = keyIndex.find(name);
      if (key == keyIndex.end()) return false;
      std::optional<std::uint64_t> at;
      if (std::holds_alternative<std::monostate>(value)) {
        at = add.uid(0);
      } else if (auto* b = std::get_if<bool>(&value)) {
        at = add.object(std::string(1, static_cast<char>(*b ? 0x09 : 0x08)));
      } else if (auto* i = std::get_if<std::int64_t>(&value)) {
        at = add.object(integerBytes(*i));
      } else if (auto* d = std::get_if<double>(&value)) {
        at = add.uid(add.archive(add.object(realBytes(*d))));
      } else if (auto* text = std::get_if<std::string>(&value)) {
        // Only printable ASCII is written straight; the writer's own rules (for control
        // characters, NUL and everything beyond ASCII) serve the rest.
        if (!std::all_of(text->begin(), text->end(), [](char c) { return c >= ' ' && c <= '~'; })) {
          return false;
        }
        std::string ascii;
        putCount(ascii, 0x5, text->size());
        ascii += *text;
        at = add.uid(add.archive(add.object(std::move(ascii))));
      } else if (timeKeyAndDateClass) {
        const double seconds = std::get<Date>(value).secondsSinceReferenceDate();
        const std::uint64_t time = add.object(realBytes(seconds));
        at = add.uid(add.archive(add.object(dictionaryBytes({timeKeyAndDateClass->first, *classKey},
                                                            {time, timeKeyAndDateClass->second}))));
      }
      if (!at) return false;
      keys.push_back(key->second);
      values.push_back(*at);
    }
    keys.push_back(keyIndex.at("$class"));
    values.push_back(*classRef);
    const std::uint64_t recordUid = add.uid(recordAt);
    if (bytesFor(add.count() - 1) != refSize_) return false;
    add.fill(record, dictionaryBytes(keys, values));
    return rewrite(bytes, add, recordUid);
  }

 private:
  using Header = BinaryPlistReader::Object;
  struct Outcome {
    std::optional<Field> field;  // nothing: a value of a kind no field holds, left out
    bool corrupt = false;
  };

  std::optional<Header> header(std::uint64_t index) const { return reader_.object(index); }
  std::uint64_t ref(const Header& h, std::uint64_t i) const { return reader_.ref(h, i); }
  std::optional<std::string> string(std::uint64_t index) const { return reader_.string(index); }
  // The value of a UID object.
  std::uint64_t uid(const Header& h) const {
    auto value = reader_.scalar(h);
    return value && value->is<Uid>() ? value->get<Uid>()->value : 0;
  }

  // The list object an archive reference (a UID object) names.
  std::optional<std::uint64_t> resolve(std::uint64_t index) const {
    auto h = header(index);
    if (!h || h->type != BinaryPlistReader::kUid) return std::nullopt;
    const std::uint64_t at = uid(*h);
    if (at >= objects_->count) return std::nullopt;
    return ref(*objects_, at);
  }

  // The value under an ASCII key of a dictionary. Only small dictionaries are searched (the
  // archive's own and a date's), so lookups stay linear in the archive.
  std::optional<std::uint64_t> dictValue(std::uint64_t index, std::string_view key) const {
    auto h = header(index);
    if (!h || h->type != 0xD || (h->count > 16 && index != top_)) return std::nullopt;
    for (std::uint64_t k = 0; k < h->count && k < 64; ++k) {
      if (reader_.isAscii(ref(*h, k), key)) return ref(*h, h->count + k);
    }
    return std::nullopt;
  }

  std::optional<Field> scalar(std::uint64_t index) const {
    auto h = header(index);
    auto value = h ? reader_.scalar(*h) : std::nullopt;
    return value ? plainField(*value) : std::nullopt;
  }

  Outcome field(std::uint64_t index) const {
    auto h = header(index);
    if (!h) return {std::nullopt, true};
    if (h->type != 0x8) return {scalar(index)};
    if (uid(*h) == 0) return {Field{}};
    auto target = resolve(index);
    if (!target) return {std::nullopt, true};
    auto targetHeader = header(*target);
    if (!targetHeader) return {std::nullopt, true};
    if (targetHeader->type != 0xD) return {scalar(*target)};
    if (auto time = dictValue(*target, "NS.time")) {
      auto seconds = scalar(*time);
      if (auto* d = seconds ? std::get_if<double>(&*seconds) : nullptr) {
        return {Date::fromSecondsSinceReferenceDate(*d)};
      }
      if (auto* i = seconds ? std::get_if<std::int64_t>(&*seconds) : nullptr) {
        return {Date::fromSecondsSinceReferenceDate(static_cast<double>(*i))};
      }
    }
    if (auto text = dictValue(*target, "NS.string")) {
      if (auto s = string(*text)) return {std::move(*s)};
    }
    return {};
  }

  // The key and value objects of an ASCII key of a small dictionary.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> dictEntry(std::uint64_t index,
                                                                   std::string_view key) const {
    auto h = header(index);
    if (!h || h->type != 0xD || h->count > 16) return std::nullopt;
    for (std::uint64_t k = 0; k < h->count; ++k) {
      if (reader_.isAscii(ref(*h, k), key)) return std::pair{ref(*h, k), ref(*h, h->count + k)};
    }
    return std::nullopt;
  }

  std::string dictionaryBytes(const std::vector<std::uint64_t>& keys,
                              const std::vector<std::uint64_t>& values) const {
    std::string out;
    putCount(out, 0xD, keys.size());
    for (std::uint64_t key : keys) putBigEndian(out, key, refSize_);
    for (std::uint64_t value : values) putBigEndian(out, value, refSize_);
    return out;
  }

  // Bytes an object takes after its header (see `header`).
  std::uint64_t contentLength(const Header& h) const {
    switch (h.type) {
      case 0x0:
        return 0;
      case 0x1:
      case 0x2:
      case 0x3:
        return std::uint64_t{1} << h.low;
      case 0x8:
        return h.low + 1;
      case 0x6:
        return 2 * h.count;
      case 0xA:
        return h.count * refSize_;
      case 0xD:
        return 2 * h.count * refSize_;
      default:
        return h.count;
    }
  }

  // Whether a record decodes, decided as `list` decides it but without making its keys and values:
  // every key a string, every value an object whose references point into the archive.
  // Records share their key objects, so each key is looked at once.
  bool sound(const Header& record) {
    if (keyKinds_.empty()) keyKinds_.assign(static_cast<size_t>(count_), KeyKind::Unknown);
    for (std::uint64_t k = 0; k < record.count; ++k) {
      const std::uint64_t keyAt = ref(record, k);
      if (keyAt >= count_) return false;
      KeyKind& kind = keyKinds_[static_cast<size_t>(keyAt)];
      if (kind == KeyKind::Unknown) {
        auto key = header(keyAt);
        if (!key || (key->type != 0x5 && key->type != 0x6)) return false;
        const bool isClass = key->type == BinaryPlistReader::kAscii
                                 ? reader_.isAscii(keyAt, "$class")
                                 : string(keyAt) == "$class";
        kind = isClass ? KeyKind::Class : KeyKind::Field;
      }
      if (kind == KeyKind::Class) continue;
      const std::uint64_t valueAt = ref(record, record.count + k);
      auto value = header(valueAt);
      if (!value) return false;
      if (value->type != 0x8) continue;
      const std::uint64_t at = uid(*value);
      if (at == 0) continue;
      if (at >= objects_->count || !header(ref(*objects_, at))) return false;
    }
    return true;
  }

  // Where an object starts in the bytes.
  std::uint64_t offsetOf(std::uint64_t index) const { return reader_.offset(index); }

  // Makes `bytes`, the archive this decoder reads, the archive with the two lists lengthened by
  // what `add` archived and by the new item, then the added objects and the offset table, every
  // offset moved by what the lists grew before it. The object area moves within the same buffer,
  // so the archive is never held twice. False, with `bytes` as they were, when an object lies
  // outside the object area or inside a list that grows.
  bool rewrite(std::string& bytes, const Appender& add, std::uint64_t newItem) const {
    struct Grown {
      std::uint64_t start;  // where the list starts, and ends, in the old bytes
      std::uint64_t end;
      std::string bytes;  // the lengthened list
    };
    auto grown = [&](std::uint64_t index, const std::vector<std::uint64_t>& extra) {
      const Header h = *header(index);
      Grown g{offsetOf(index), h.pos + contentLength(h), {}};
      putCount(g.bytes, 0xA, h.count + extra.size());
      g.bytes.append(b_.substr(h.pos, static_cast<size_t>(contentLength(h))));
      for (std::uint64_t entry : extra) putBigEndian(g.bytes, entry, refSize_);
      return g;
    };
    Grown first = grown(objectsIndex_, add.archived());
    Grown second = grown(itemsIndex_, {newItem});
    if (second.start < first.start) std::swap(first, second);
    if (first.end > second.start) return false;  // the lists overlap
    const std::uint64_t firstGrowth = first.bytes.size() - (first.end - first.start);
    const std::uint64_t secondGrowth = second.bytes.size() - (second.end - second.start);

    std::uint64_t added = 0;
    for (const std::string& object : add.objects()) added += object.size();
    const std::uint64_t table = table_ + firstGrowth + secondGrowth + added;
    const unsigned offsetSize = bytesFor(table);

    // The new offset table and trailer, made while the old table can still be read.
    std::string tail(static_cast<size_t>(add.count()) * offsetSize + 32, '\0');
    char* entry = tail.data();
    auto put = [&](std::uint64_t value, unsigned width) {
      for (unsigned i = width; i-- > 0;) *entry++ = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    for (std::uint64_t i = 0; i < count_; ++i) {
      std::uint64_t at = offsetOf(i);
      // Such an archive takes the whole way, which writes only what the list reaches.
      if (at < 8 || at >= table_ || (at > first.start && at < first.end) ||
          (at > second.start && at < second.end)) {
        return false;
      }
      if (at >= first.end) at += firstGrowth;
      if (at >= second.end) at += secondGrowth;
      put(at, offsetSize);
    }
    std::uint64_t at = table - added;
    for (const std::string& object : add.objects()) {
      put(at, offsetSize);
      at += object.size();
    }
    entry += 6;
    put(offsetSize, 1);
    put(refSize_, 1);
    put(add.count(), 8);
    put(top_, 8);
    put(table, 8);

    // Each part moves right by what the lists before it grew; the last part first.
    const std::uint64_t oldTable = table_;
    bytes.resize(static_cast<size_t>(table) + tail.size());  // `b_` is not read from here on
    char* d = bytes.data();
    std::memmove(d + second.end + firstGrowth + secondGrowth, d + second.end,
                 static_cast<size_t>(oldTable - second.end));
    std::memcpy(d + second.start + firstGrowth, second.bytes.data(), second.bytes.size());
    std::memmove(d + first.end + firstGrowth, d + first.end,
                 static_cast<size_t>(second.start - first.end));
    std::memcpy(d + first.start, first.bytes.data(), first.bytes.size());
    char* next = d + (table - added);
    for (const std::string& object : add.objects()) {
      std::memcpy(next, object.data(), object.size());
      next += object.size();
    }
    std::memcpy(d + table, tail.data(), tail.size());
    return true;
  }

  std::string_view b_;
  BinaryPlistReader reader_;
  unsigned refSize_;
  std::uint64_t count_;
  std::uint64_t top_;
  size_t table_;  // where the object area ends
  bool valid_;
  std::optional<Header> objects_;  // the "$objects" array
  std::uint64_t objectsIndex_ = 0;
  std::uint64_t itemsIndex_ = 0;  // the array of the list's items
  std::optional<Header> items_;
  enum class KeyKind : std::uint8_t { Unknown, Field, Class };
  std::vector<KeyKind> keyKinds_;  // by object index
};

}  // namespace

std::string encodeList(std::string_view topKey, std::string_view className,
                       const std::vector<Object>& objects) {
  Encoder encoder(objects.size());
  const std::uint64_t list = encoder.reserve();
  std::vector<Encoder::Ref> items;
  items.reserve(objects.size());
  std::vector<Encoder::Ref> keys;
  std::vector<Encoder::Ref> values;
  for (const Object& object : objects) {
    const std::uint64_t at = encoder.reserve();
    keys.clear();
    values.clear();
    for (const auto& [key, value] : object) {
      if (key == "$class") continue;
      keys.push_back(encoder.key(key));
      values.push_back(encoder.field(value));
    }
    keys.push_back(encoder.key("$class"));
    values.push_back(encoder.classOf(className, {"NSObject"}));
    encoder.fill(at, encoder.builder().addDictionary(keys, values));
    items.push_back(encoder.uid(at));
  }
  BinaryPlistBuilder& builder = encoder.builder();
  {
    const Encoder::Ref listKeys[] = {encoder.key("NS.objects"), encoder.key("$class")};
    const Encoder::Ref listValues[] = {builder.addArray(items),
                                       encoder.classOf("NSMutableArray", {"NSArray", "NSObject"})};
    encoder.fill(list, builder.addDictionary(listKeys, listValues));
  }
  const Encoder::Ref topKeys[] = {encoder.key(topKey)};
  const Encoder::Ref topValues[] = {encoder.uid(list)};
  const Encoder::Ref rootKeys[] = {encoder.key("$archiver"), encoder.key("$objects"),
                                   encoder.key("$top"), encoder.key("$version")};
  const Encoder::Ref rootValues[] = {
      builder.addString("NSKeyedArchiver"), builder.addArray(encoder.archived()),
      builder.addDictionary(topKeys, topValues), builder.addInteger(100000)};
  return builder.finish(builder.addDictionary(rootKeys, rootValues));
}

bool appendToList(std::string& bytes, std::string_view topKey, const Object& object) {
  if (!bytes.starts_with("bplist00")) return false;
  return BinaryDecoder(bytes).append(bytes, topKey, object);
}

std::optional<std::vector<Object>> decodeList(std::string_view bytes, std::string_view topKey) {
  if (bytes.starts_with("bplist00")) return BinaryDecoder(bytes).list(topKey);
  // Another form (an XML archive): through the general parser.
  auto root = plist::parse(bytes);
  auto* rootDict = root ? root->get<Dictionary>() : nullptr;
  if (!rootDict) return std::nullopt;
  auto objectsIt = rootDict->find("$objects");
  auto topIt = rootDict->find("$top");
  if (objectsIt == rootDict->end() || topIt == rootDict->end()) return std::nullopt;
  auto* objects = objectsIt->second.get<Array>();
  auto* top = topIt->second.get<Dictionary>();
  if (!objects || !top) return std::nullopt;
  auto listRef = top->find(std::string(topKey));
  if (listRef == top->end()) return std::nullopt;

  Decoder decoder(*objects);
  const PlistValue* list = decoder.resolve(listRef->second);
  auto* listDict = list ? list->get<Dictionary>() : nullptr;
  if (!listDict) return std::nullopt;
  auto itemsIt = listDict->find("NS.objects");
  if (itemsIt == listDict->end() || !itemsIt->second.is<Array>()) return std::nullopt;

  const Array& items = *itemsIt->second.get<Array>();
  std::vector<Object> out;
  out.reserve(items.size());
  for (const PlistValue& item : items) {
    auto object = decoder.object(item);
    if (!object) return std::nullopt;
    out.push_back(std::move(*object));
  }
  return out;
}

}  // namespace kestrio::keyed
