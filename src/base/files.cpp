#include "base/files.h"

#include <cstdarg>
#include <sys/stat.h>
#include <unistd.h>

#include "base/text.h"

namespace kalveno {

namespace {

bool is_regular_file(std::FILE* file) {
  struct stat info;
  return fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
}

bool is_folder(std::FILE* file) {
  struct stat info;
  return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool can_open_for_reading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bool regular = is_regular_file(file);
  std::fclose(file);
  return regular;
}

bool read_text_file(const std::string& path, std::string& content, Readable readable) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  if (readable == Readable::kRegularFile ? !is_regular_file(file) : is_folder(file)) {
    std::fclose(file);
    return false;
  }
  content.clear();
  char block[1 << 16];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) content.append(block, got);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

bool change_directory(const std::string& path) { return chdir(path.c_str()) == 0; }

bool same_file(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

OutputFile::OutputFile(const std::string& path, Mode mode)
    : file_(std::fopen(path.c_str(), mode == kAppend ? "ab" : "wb")) {}

OutputFile::~OutputFile() { close(); }

void OutputFile::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (text_ != nullptr)
    *text_ += vformat(format, args);
  else if (file_ != nullptr && std::vfprintf(file_, format, args) < 0)
    write_failed_ = true;
  va_end(args);
}

void OutputFile::write(const std::string& text) {
  if (text_ != nullptr) *text_ += text;
  if (file_ == nullptr) return;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) write_failed_ = true;
}

bool OutputFile::close() {
  if (file_ == nullptr) return !write_failed_;
  if (std::fclose(file_) != 0) write_failed_ = true;
  file_ = nullptr;
  return !write_failed_;
}

}  // namespace kalveno
