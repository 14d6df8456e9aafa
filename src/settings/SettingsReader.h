#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/IndexPath.h"
#include "platform/PlistValue.h"
#include "settings/Specifier.h"

namespace kestrio::settings {

// The layout of one screen of the settings tab: its settings schema, parsed into sections of rows.
// A file name ("Root" for the top level) is looked up in the application's resource directory: in
// "InAppSettings.bundle", then "Settings.bundle"; in each with the extension ".inApp.plist", then
// ".plist"; for each with the device's suffix ("~ipad" on a tablet, "~iphone" on a phone), then
// none. The first existing path wins; a schema found nowhere gives a screen without rows.
class SettingsReader {
 public:
  struct Section {
    // The group row that opened the section; nothing for rows before the first group.
    std::optional<PlistValue::Dictionary> group;
    std::vector<Specifier> rows;
  };

  SettingsReader(FileSystem& files, std::string resourceDirectory, bool tablet,
                 std::string file = "Root");
  SettingsReader(const SettingsReader&) = delete;
  SettingsReader& operator=(const SettingsReader&) = delete;

  // The candidate paths, in the order they are tried.
  static std::vector<std::string> candidatePaths(const std::string& resourceDirectory,
                                                 const std::string& file, bool tablet);

  // A schema that large, or a text in it (a title, a footer, a choice) that long, is refused as
  // a whole: the screen would take seconds to lay out what no one can read.
  static constexpr std::size_t kMaxSchemaBytes = 1024 * 1024;
  static constexpr std::size_t kMaxTextLength = 1000;

  const std::string& file() const { return file_; }
  // Why a schema that exists was not read (too large, a text too long, not a property list), naming
  // its path; empty when one was read or none exists.
  const std::string& refusal() const { return refusal_; }
  // The schema's path; empty when none was found.
  const std::string& path() const { return path_; }
  const std::string& localizationTable() const { return localizationTable_; }
  // The bundle directory the schema was found in.
  const std::string& settingsBundle() const { return bundle_; }

  int numberOfSections() const { return static_cast<int>(dataSource_.size()); }
  int numberOfRowsForSection(int section) const;
  const Specifier* specifierForIndexPath(IndexPath path) const;
  std::optional<IndexPath> indexPathForKey(const std::string& key) const;
  const Specifier* specifierForKey(const std::string& key) const;
  // The group's localised "Title", its "Key" and its localised "FooterText" (empty when none).
  std::string titleForSection(int section) const;
  std::string keyForSection(int section) const;
  std::string footerTextForSection(int section) const;
  const std::vector<Section>& dataSource() const { return dataSource_; }

  // The text in the localisation table, or the text itself.
  std::string titleForStringId(const std::string& stringId) const;

 private:
  void load(FileSystem& files, const std::string& resourceDirectory, bool tablet);
  std::string groupText(int section, const char* key) const;

  std::string file_;
  std::string path_;
  std::string refusal_;
  std::string bundle_;
  std::string localizationTable_;
  PlistValue::Dictionary strings_;
  std::vector<Section> dataSource_;
};

}  // namespace kestrio::settings
