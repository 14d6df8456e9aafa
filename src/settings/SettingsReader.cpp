// The layout of the settings tab: where a screen's schema is looked up, and its groups and rows
// read into sections.
#include "settings/SettingsReader.h"

#include "platform/PropertyList.h"

namespace kestrio::settings {
namespace {

constexpr const char* kBundles[] = {"InAppSettings.bundle", "Settings.bundle"};
constexpr const char* kExtensions[] = {".inApp.plist", ".plist"};

std::string textOf(const PlistValue::Dictionary& dict, const char* key) {
  const auto it = dict.find(key);
  if (it == dict.end()) return {};
  const std::string* s = it->second.get<std::string>();
  return s ? *s : std::string();
}

// The first text of `value` (a key or a string, at any depth) longer than the limit.
const std::string* overlongText(const PlistValue& value) {
  if (const auto* text = value.get<std::string>()) {
    return text->size() > SettingsReader::kMaxTextLength ? text : nullptr;
  }
  if (const auto* list = value.get<PlistValue::Array>()) {
    for (const PlistValue& item : *list) {
      if (const std::string* found = overlongText(item)) return found;
    }
  }
  if (const auto* dict = value.get<PlistValue::Dictionary>()) {
    for (const auto& [key, item] : *dict) {
      if (key.size() > SettingsReader::kMaxTextLength) return &key;
      if (const std::string* found = overlongText(item)) return found;
    }
  }
  return nullptr;
}

// The dictionary of a schema or a localisation table; nothing, with `refusal` saying why, when
// the file cannot be read or exceeds the limits.
std::optional<PlistValue::Dictionary> readDictionary(FileSystem& files, const std::string& path,
                                                     std::string& refusal) {
  const std::optional<std::string> bytes = files.read(path);
  if (!bytes) {
    refusal = path + " cannot be read";
    return std::nullopt;
  }
  if (bytes->size() > SettingsReader::kMaxSchemaBytes) {
    refusal = path + " is larger than " +
              std::to_string(SettingsReader::kMaxSchemaBytes / 1024 / 1024) +
              " MiB, the limit of a settings schema";
    return std::nullopt;
  }
  std::optional<PlistValue> parsed = plist::parse(*bytes);
  if (!parsed || !parsed->is<PlistValue::Dictionary>()) {
    refusal = path + " is not a property list of a settings schema";
    return std::nullopt;
  }
  if (const std::string* text = overlongText(*parsed)) {
    refusal = path + " holds a text of " + std::to_string(text->size()) +
              " bytes; a title or any other text of a settings schema has at most " +
              std::to_string(SettingsReader::kMaxTextLength);
    return std::nullopt;
  }
  return std::move(*parsed->get<PlistValue::Dictionary>());
}

}  // namespace

std::vector<std::string> SettingsReader::candidatePaths(const std::string& resourceDirectory,
                                                        const std::string& file, bool tablet) {
  const std::string suffixes[] = {tablet ? "~ipad" : "~iphone", ""};
  std::vector<std::string> paths;
  for (const char* bundle : kBundles) {
    for (const char* extension : kExtensions) {
      for (const std::string& suffix : suffixes) {
        paths.push_back(resourceDirectory + "/" + bundle + "/" + file + suffix + extension);
      }
    }
  }
  return paths;
}

SettingsReader::SettingsReader(FileSystem& files, std::string resourceDirectory, bool tablet,
                               std::string file)
    : file_(std::move(file)) {
  load(files, resourceDirectory, tablet);
}

void SettingsReader::load(FileSystem& files, const std::string& resourceDirectory, bool tablet) {
  // A file name that climbs out of the bundle is not a schema of ours.
  if (file_.empty() || file_.find("..") != std::string::npos || file_.front() == '/') return;
  std::optional<PlistValue::Dictionary> schema;
  for (const std::string& candidate : candidatePaths(resourceDirectory, file_, tablet)) {
    if (!files.exists(candidate)) continue;
    std::string refused;
    schema = readDictionary(files, candidate, refused);
    if (!schema) {
      // Unreadable: the next candidate may serve; the first refusal is what the user hears.
      if (refusal_.empty()) refusal_ = std::move(refused);
      continue;
    }
    path_ = candidate;
    refusal_.clear();
    break;
  }
  if (!schema) return;
  bundle_ = path_.substr(0, path_.rfind('/'));

  // The localisation table: named by the schema, else the file's own name when the bundle has
  // such a table, else "Root".
  localizationTable_ = textOf(*schema, "StringsTable");
  if (localizationTable_.empty()) {
    std::string base = file_;
    for (const char* suffix : {"~ipad", "~iphone"}) {
      const std::string s = suffix;
      if (base.size() > s.size() && base.compare(base.size() - s.size(), s.size(), s) == 0) {
        base.resize(base.size() - s.size());
      }
    }
    const std::string leaf = base.substr(base.rfind('/') + 1);
    localizationTable_ = files.exists(bundle_ + "/" + leaf + ".strings") ? leaf : "Root";
  }
  const std::string table = bundle_ + "/" + localizationTable_ + ".strings";
  if (files.exists(table)) {
    std::string refused;
    if (auto strings = readDictionary(files, table, refused)) {
      strings_ = std::move(*strings);
    } else {
      refusal_ = std::move(refused);  // the screen keeps the schema's own texts
    }
  }

  const auto rows = schema->find("PreferenceSpecifiers");
  if (rows == schema->end()) return;
  const auto* list = rows->second.get<PlistValue::Array>();
  if (!list) return;
  for (const PlistValue& row : *list) {
    const auto* dict = row.get<PlistValue::Dictionary>();
    if (!dict) continue;
    if (textOf(*dict, "Type") == kPSGroupSpecifier) {
      dataSource_.push_back(Section{*dict, {}});
      continue;
    }
    // Rows before the first group form a section without a heading.
    if (dataSource_.empty()) dataSource_.push_back(Section{std::nullopt, {}});
    dataSource_.back().rows.emplace_back(*dict, this);
  }
}

int SettingsReader::numberOfRowsForSection(int section) const {
  if (section < 0 || section >= numberOfSections()) return 0;
  return static_cast<int>(dataSource_[static_cast<std::size_t>(section)].rows.size());
}

const Specifier* SettingsReader::specifierForIndexPath(IndexPath path) const {
  if (path.row < 0 || path.row >= numberOfRowsForSection(path.section)) return nullptr;
  return &dataSource_[static_cast<std::size_t>(path.section)]
              .rows[static_cast<std::size_t>(path.row)];
}

std::optional<IndexPath> SettingsReader::indexPathForKey(const std::string& key) const {
  for (int s = 0; s < numberOfSections(); ++s) {
    for (int r = 0; r < numberOfRowsForSection(s); ++r) {
      if (specifierForIndexPath({s, r})->key() == key) return IndexPath{s, r};
    }
  }
  return std::nullopt;
}

const Specifier* SettingsReader::specifierForKey(const std::string& key) const {
  const std::optional<IndexPath> path = indexPathForKey(key);
  return path ? specifierForIndexPath(*path) : nullptr;
}

std::string SettingsReader::groupText(int section, const char* key) const {
  if (section < 0 || section >= numberOfSections()) return {};
  const auto& group = dataSource_[static_cast<std::size_t>(section)].group;
  return group ? textOf(*group, key) : std::string();
}

std::string SettingsReader::titleForSection(int section) const {
  const std::string title = groupText(section, "Title");
  return title.empty() ? title : titleForStringId(title);
}

std::string SettingsReader::keyForSection(int section) const {
  return groupText(section, "Key");
}

std::string SettingsReader::footerTextForSection(int section) const {
  const std::string footer = groupText(section, "FooterText");
  return footer.empty() ? footer : titleForStringId(footer);
}

std::string SettingsReader::titleForStringId(const std::string& stringId) const {
  const auto it = strings_.find(stringId);
  if (it != strings_.end()) {
    if (const std::string* s = it->second.get<std::string>()) return *s;
  }
  return stringId;
}

}  // namespace kestrio::settings
