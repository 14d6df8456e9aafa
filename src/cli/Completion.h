#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/SettingsSchema.h"
#include "platform/Platform.h"

namespace kestrio::cli {

// The words the shell's completion offers where only the stored data or the schema knows them.
// Each is a word the command then accepts.

// Every key `kestrio settings set` takes, sorted.
std::vector<std::string> settingKeys(const SettingsSchema& schema);
// The values a key takes when they are a list of choices (a multi-value row's values, a switch's
// true and false, a text setting's choices); none for a number, a date or free text.
std::vector<std::string> settingValues(const SettingsSchema& schema, const std::string& key);
// The custom counters' positions (from 1) and identifiers.
std::vector<std::string> counterWords(Platform& platform);
// The UUIDs of the connections either record counted on (their names may hold spaces).
std::vector<std::string> connectionWords(Platform& platform);

// `kestrio __complete keys|values KEY|counters|connections`: the words, one a line. Run by the
// completion script on a platform that only reads, so pressing Tab never writes a file.
int runComplete(Platform& platform, const std::vector<std::string>& request, std::ostream& out);

}  // namespace kestrio::cli
