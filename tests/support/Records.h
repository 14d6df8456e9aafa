#pragma once

#include <string>

#include "platform/PlistValue.h"
#include "platform/PropertyList.h"
#include "support/FakePlatform.h"

namespace kestrio::testing {

// Stores a usage record file as an older or a current version would have written it.
inline void putRecord(FakePlatform& platform, const std::string& fileName,
                      const PlistValue::Dictionary& keys) {
  platform.fakeFiles().put(platform.documentPath(fileName), plist::toXml(PlistValue(keys)));
}

// The keys of a record file as they are stored now.
inline PlistValue::Dictionary storedRecord(FakePlatform& platform, const std::string& fileName) {
  auto bytes = platform.files().read(platform.documentPath(fileName));
  if (!bytes) return {};
  auto parsed = plist::parse(*bytes);
  if (!parsed || !parsed->is<PlistValue::Dictionary>()) return {};
  return *parsed->get<PlistValue::Dictionary>();
}

}  // namespace kestrio::testing
