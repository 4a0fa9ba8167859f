#include "base/files.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
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

namespace {

// What errno says about a path that cannot be written, in the program's words.
std::string access_problem(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "permission denied";
    case EROFS: return "the file system is read-only";
    case ENOENT:
    case ENOTDIR: return "no such folder";
    default: return std::strerror(error);
  }
}

}  // namespace

std::optional<std::string> why_not_writable(const std::string& path) {
  if (path.empty() || path.back() == '/') return "no file name";
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return "a folder has that name";
    if (access(path.c_str(), W_OK) != 0) return access_problem(errno);
    return std::nullopt;
  }
  if (errno != ENOENT) return access_problem(errno);
  // A new file: its folder must exist and take new files.
  const std::size_t cut = path.find_last_of('/');
  const std::string folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : path.substr(0, cut));
  if (stat(folder.c_str(), &info) != 0) return access_problem(errno);
  if (!S_ISDIR(info.st_mode)) return "no such folder";
  if (access(folder.c_str(), W_OK | X_OK) != 0) return access_problem(errno);
  return std::nullopt;
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
