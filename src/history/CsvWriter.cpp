// The history's CSV file: which fields are quoted and how the file reaches its place.
#include "history/CsvWriter.h"

namespace kestrio::history {
namespace {

// The line-break characters as UTF-8: LF, VT, FF, CR, NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR.
bool containsLineBreak(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x0A && c <= 0x0D) return true;
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) {
      return true;
    }
    if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80) {
      const auto third = static_cast<unsigned char>(text[i + 2]);
      if (third == 0xA8 || third == 0xA9) return true;
    }
  }
  return false;
}

}  // namespace

CsvWriter::CsvWriter(FileSystem& files, const std::string& path, bool atomic)
    : destinationFile_(path), atomically_(atomic) {
  // Without atomicity the old file goes first, as a stream over the same path would replace it.
  if (!atomic && files.exists(path) && !files.remove(path)) {
    fail("the existing file " + path + " cannot be removed");
    return;
  }
  outputHandle_ = files.createFile(path);
  if (!outputHandle_) fail("the file " + path + " cannot be created");
}

CsvWriter::CsvWriter(std::unique_ptr<OutputFile> output)
    : atomically_(true), outputHandle_(std::move(output)) {
  if (!outputHandle_) fail("no output to write to");
}

CsvWriter::~CsvWriter() {
  closeFile();
}

bool CsvWriter::needsQuotes(std::string_view field, char delimiter) {
  if (!field.empty() && field.front() == '#') return true;
  if (field.find_first_of(std::string{'"', '\\', delimiter}) != std::string_view::npos) {
    return true;
  }
  return containsLineBreak(field);
}

void CsvWriter::writeField(std::string_view field) {
  hasStarted_ = true;
  if (currentField_ > 0) _writeString(std::string_view(&delimiter_, 1));
  if (!needsQuotes(field, delimiter_)) {
    _writeString(field);
  } else {
    std::string quoted;
    quoted.reserve(field.size() + 8);
    quoted.push_back('"');
    for (char c : field) {
      if (c == '"' || c == '\\') quoted.push_back(c);
      quoted.push_back(c);
    }
    quoted.push_back('"');
    _writeString(quoted);
  }
  ++currentField_;
}

void CsvWriter::writeFields(std::initializer_list<std::string_view> fields) {
  for (std::string_view field : fields) writeField(field);
}

void CsvWriter::writeLine() {
  _writeString("\n");
  currentField_ = 0;
}

void CsvWriter::_writeString(std::string_view text) {
  // The only encoding written is UTF-8, which our strings already hold.
  if (encoding_ == Encoding::Unset) encoding_ = Encoding::UTF8;
  if (!outputHandle_ || !error_.empty()) return;
  if (!outputHandle_->write(text)) fail("writing " + destinationFile_ + " failed");
}

bool CsvWriter::closeFile() {
  if (closed_) return error_.empty();
  closed_ = true;
  if (outputHandle_ && error_.empty() && !outputHandle_->commit()) {
    fail("storing " + destinationFile_ + " failed");
  }
  outputHandle_.reset();
  return error_.empty();
}

void CsvWriter::fail(const std::string& why) {
  if (error_.empty()) error_ = why;
}

}  // namespace kestrio::history
