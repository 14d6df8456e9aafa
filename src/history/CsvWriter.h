#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/OutputFile.h"

namespace kestrio::history {

// The history's CSV file: comma-separated values, written one field at a time. A field that holds a
// line break, a double quote, a backslash or the delimiter, or that begins with "#", is put in
// double quotes with its quotes and backslashes doubled; every other field is written as it is.
// Lines end with a single line feed. Text is written as UTF-8.
class CsvWriter {
 public:
  enum class Encoding { Unset, UTF8 };

  // Opens `path` for writing. Not atomic: any file at the path is removed at once and the new
  // one grows there. Atomic: the file at the path stays as it was until `closeFile` installs the
  // complete new one. `error()` tells when the file could not be opened.
  CsvWriter(FileSystem& files, const std::string& path, bool atomic);
  // Writes into a handle the caller opened (a memory buffer, standard output).
  explicit CsvWriter(std::unique_ptr<OutputFile> output);
  ~CsvWriter();
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  void writeField(std::string_view field);
  void writeFields(std::initializer_list<std::string_view> fields);
  // Ends the line; the next field is the first of a new one.
  void writeLine();
  // Finishes the file; a second call does nothing. False when anything could not be written or
  // installed, with `error()` saying why; the file at the destination is then the previous one
  // (atomic) or incomplete (not atomic).
  bool closeFile();

  Encoding encoding() const { return encoding_; }
  void setEncoding(Encoding encoding) { encoding_ = encoding; }
  char delimiter() const { return delimiter_; }
  const std::string& destinationFile() const { return destinationFile_; }
  bool atomically() const { return atomically_; }
  bool hasStarted() const { return hasStarted_; }
  int currentField() const { return currentField_; }
  // The first failure, empty while everything was written.
  const std::string& error() const { return error_; }

  // Whether a field must be quoted.
  static bool needsQuotes(std::string_view field, char delimiter = ',');

 private:
  void _writeString(std::string_view text);
  void fail(const std::string& why);

  std::string destinationFile_;
  bool atomically_ = false;
  std::unique_ptr<OutputFile> outputHandle_;
  bool closed_ = false;
  bool hasStarted_ = false;
  int currentField_ = 0;
  Encoding encoding_ = Encoding::Unset;
  char delimiter_ = ',';
  std::string error_;
};

}  // namespace kestrio::history
