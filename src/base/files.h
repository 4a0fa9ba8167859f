// The few file-system operations the program needs: read a text file whole,
// write or append text, change the working directory.
#pragma once
#include <cstdio>
#include <optional>
#include <string>

namespace kalveno {

// True when path names a regular file that can be opened for reading.
bool can_open_for_reading(const std::string& path);
// What read_text_file takes: a regular file only (a data file: a pipe or a
// device could block or never end), or anything that is not a folder.
enum class Readable { kRegularFile, kAnyButFolder };
// Reads the whole file at path into content; false when it cannot.
bool read_text_file(const std::string& path, std::string& content, Readable readable = Readable::kRegularFile);
bool change_directory(const std::string& path);
// True when both paths name one existing file (also through other names).
bool same_file(const std::string& a, const std::string& b);
// Why a file could not be written at path, e.g. "no such folder", or nothing
// when it could: an existing file must be writable and no folder, a new one
// needs a writable folder. Nothing is created, so the check leaves no trace.
std::optional<std::string> why_not_writable(const std::string& path);

// A file open for writing text, closed when the object goes; or a text in
// memory that takes the same bytes, to be written to a file later.
class OutputFile {
 public:
  enum Mode { kAppend, kReplace };
  OutputFile(const std::string& path, Mode mode);
  // Appends to text, which must outlive the object.
  explicit OutputFile(std::string& text) : text_(&text) {}
  ~OutputFile();
  OutputFile(OutputFile&& other) noexcept : file_(other.file_), text_(other.text_) {
    other.file_ = nullptr;
    other.text_ = nullptr;
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile& operator=(OutputFile&&) = delete;

  bool is_open() const { return file_ != nullptr || text_ != nullptr; }
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void write(const std::string& text);
  // Closes the file; false when anything written could not be stored.
  bool close();

 private:
  std::FILE* file_ = nullptr;
  std::string* text_ = nullptr;
  bool write_failed_ = false;
};

}  // namespace kalveno
