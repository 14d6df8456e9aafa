#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/Date.h"

namespace kestrio::keyed {

// One value of an archived object: a plain property-list value, a date (archived as an NSDate
// object), or nothing (archived as the null reference, UID 0).
using Field = std::variant<std::monostate, bool, std::int64_t, double, std::string, Date>;

// One archived object: its keys and values.
using Object = std::map<std::string, Field>;

// A list of objects of one class stored under one top-level key, in the layout a keyed archiver
// writes: {"$archiver": "NSKeyedArchiver", "$version": 100000, "$top": {topKey: UID},
// "$objects": ["$null", ...]}, the list as {"NS.objects": [UIDs]} of class NSMutableArray, dates
// as {"NS.time": seconds since 2001} of class NSDate, each object as its keys plus "$class".
// Answers binary property-list bytes. Time and memory grow linearly with the objects.
std::string encodeList(std::string_view topKey, std::string_view className,
                       const std::vector<Object>& objects);

// Reads back what encodeList wrote (and what a keyed archiver writes for such a list). Nothing
// when the bytes are not such an archive; linear in the size of the archive.
std::optional<std::vector<Object>> decodeList(std::string_view bytes, std::string_view topKey);

// Turns the archive in `bytes` into one with `object` added at the end of its list (decodeList then
// answers the old list and `object`), without decoding the other objects: their bytes move as they
// stand within the same buffer, so an append costs about a copy of the archive and never holds it
// twice. False, with `bytes` untouched, when they are not an archive decodeList reads, or when the
// archive leaves no quick way (an empty list, a key or a kind of value its last object does not
// show, a string that is not printable ASCII, references that would have to grow): then decode,
// add and encode instead.
bool appendToList(std::string& bytes, std::string_view topKey, const Object& object);

}  // namespace kestrio::keyed
