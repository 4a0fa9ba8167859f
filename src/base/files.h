// The few file-system operations the program needs: read a text file whole,
// write or append text so that a file is never left half-written, check
// beforehand that an output can be written, change the working directory.
#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <sys/types.h>

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

// A file open for writing text, closed when the object goes; or a text in
// memory that takes the same bytes, to be written to a file later.
//
// kAppend adds to the end of the file (made when missing). When not all of
// it could be stored (a full disk), the file is cut back to what it held
// before: a section is there whole or not at all.
//
// kReplace writes a temporary file in the folder of the file and, once all
// of it is stored and synced, renames it over the file: until then the old
// file stays as it was, and after a failure the temporary file is removed.
// Through a symbolic link the link's target is replaced, beside it. An
// existing file keeps its permissions; a new one gets those fopen would
// give. An existing file must be writable. A file that is no regular file (a
// device, a pipe) cannot be renamed over and is written in place.
class OutputFile {
 public:
  enum Mode { kAppend, kReplace };
  OutputFile(const std::string& path, Mode mode);
  // Appends to text, which must outlive the object.
  explicit OutputFile(std::string& text) : text_(&text) {}
  // Closes the file as close() does; but when an exception leaves the scope
  // that writes it, what was written is dropped as after a failure.
  ~OutputFile();
  OutputFile(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile& operator=(OutputFile&&) = delete;

  bool is_open() const { return file_ != nullptr || text_ != nullptr; }
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void write(const std::string& text);
  // Closes the file (a replacement takes its place now); false when anything
  // written could not be stored, and then the file is as it was before.
  bool close();

 private:
  void put(const char* data, std::size_t size);

  std::FILE* file_ = nullptr;
  std::string* text_ = nullptr;
  bool write_failed_ = false;
  std::string temporary_path_, replaced_path_;  // empty unless replacing through a temporary file
  off_t size_before_ = -1;                      // of a file appended to, to cut a failed append back to
  int exceptions_at_open_ = 0;
  long long fault_after_ = -1;                  // test builds: bytes stored before writes fail
  long long written_ = 0;
};

// Why path could not be written as mode writes it, or nothing when it can.
// The file is opened as it will be, without changing it: for kAppend opened
// for appending (or made and removed again), for kReplace its temporary file
// made and removed and an existing file opened for writing, so that a folder
// that takes no new file (/proc) or a file that may not be written is found
// before any work.
std::optional<std::string> why_cannot_write(const std::string& path, OutputFile::Mode mode);

}  // namespace kalveno
