#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

// The folder of path, for a file to be made beside it.
std::string folder_of(const std::string& path) {
  const std::size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? "." : (cut == 0 ? "/" : path.substr(0, cut));
}

// path with its symbolic links followed to the file they name, which need
// not exist yet; a relative link is read from the link's folder. After 40
// links (a loop) the path is left as it is, and fails when opened.
std::string link_target(std::string path) {
  for (int links = 0; links < 40; ++links) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return path;
    target.resize(static_cast<std::size_t>(length));
    path = target.front() == '/' ? target : folder_of(path) + "/" + target;
  }
  return path;
}

// Makes a new file beside target to be renamed over it, named target.part
// (or target.part2, ...: one left by an earlier run is never taken), with the
// permissions of the existing file when there is one. Returns its
// descriptor, or -1 with errno set.
int make_temporary_beside(const std::string& target, const struct stat* existing, std::string& temporary) {
  for (int attempt = 1; attempt <= 100; ++attempt) {
    temporary = target + ".part" + (attempt > 1 ? std::to_string(attempt) : "");
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd >= 0 && existing != nullptr) {
      // Best effort: a file of another owner keeps its owner where allowed.
      if (fchown(fd, existing->st_uid, existing->st_gid) != 0) {}
      fchmod(fd, existing->st_mode & 07777);
    }
    return fd;
  }
  errno = EEXIST;
  return -1;
}

// Whether what was written to fd has reached the disk (where that can be
// asked: only of a regular file), so that a disk that refuses it late still
// fails the write before the old file is replaced.
bool synced(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return true;
  return fsync(fd) == 0 || errno == EINVAL;
}

// Test builds only: KALVENO_WRITE_FAULT=NAME:BYTES makes every write to a
// file named NAME (as the program names it) fail once BYTES of it are stored,
// as a disk that fills would, so that a full disk can be tested where none
// can be mounted. -1: no fault.
long long fault_after(const std::string& path) {
#ifdef KALVENO_WRITE_FAULTS
  const char* fault = std::getenv("KALVENO_WRITE_FAULT");
  const char* colon = fault != nullptr ? std::strrchr(fault, ':') : nullptr;
  if (colon != nullptr && path == std::string(fault, colon)) return std::atoll(colon + 1);
#else
  (void)path;
#endif
  return -1;
}

// Why a file could not be made at path (errno error): a folder that exists
// but refuses new files (/proc) says ENOENT as a missing folder does.
std::string creation_problem(const std::string& path, int error) {
  struct stat folder;
  if (error == ENOENT && stat(folder_of(path).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))
    return "its folder takes no new files";
  return access_problem(error);
}

// Makes a file at path (or, beside, the temporary file of path's
// replacement) and removes it again; why it cannot be made, or nothing.
std::optional<std::string> why_cannot_make(const std::string& path, OutputFile::Mode mode) {
  std::string made = path;
  const int fd = mode == OutputFile::kAppend ? open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)
                                             : make_temporary_beside(path, nullptr, made);
  if (fd < 0) return creation_problem(made, errno);
  ::close(fd);
  unlink(made.c_str());
  return std::nullopt;
}

}  // namespace

std::optional<std::string> why_cannot_write(const std::string& path, OutputFile::Mode mode) {
  if (path.empty() || path.back() == '/') return "no file name";
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) return access_problem(errno);
    return why_cannot_make(link_target(path), mode);
  }
  if (S_ISDIR(info.st_mode)) return "a folder has that name";
  // Opened for writing, not a byte written; a pipe is not waited on.
  const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && !(errno == ENXIO && S_ISFIFO(info.st_mode))) return access_problem(errno);
  if (fd >= 0) ::close(fd);
  if (mode == OutputFile::kAppend || !S_ISREG(info.st_mode)) return std::nullopt;
  return why_cannot_make(link_target(path), OutputFile::kReplace);
}

OutputFile::OutputFile(const std::string& path, Mode mode)
    : exceptions_at_open_(std::uncaught_exceptions()), fault_after_(fault_after(path)) {
  struct stat info;
  const bool exists = stat(path.c_str(), &info) == 0;
  if (mode == kAppend || (exists && !S_ISREG(info.st_mode))) {
    file_ = std::fopen(path.c_str(), mode == kAppend ? "ab" : "wb");
    struct stat opened;
    if (mode == kAppend && file_ != nullptr && fstat(fileno(file_), &opened) == 0 && S_ISREG(opened.st_mode))
      size_before_ = opened.st_size;
    return;
  }
  replaced_path_ = link_target(path);
  if (exists && access(replaced_path_.c_str(), W_OK) != 0) return;
  const int fd = make_temporary_beside(replaced_path_, exists ? &info : nullptr, temporary_path_);
  if (fd >= 0) file_ = fdopen(fd, "wb");
  if (file_ != nullptr) return;
  if (fd >= 0) {
    ::close(fd);
    unlink(temporary_path_.c_str());
  }
  temporary_path_.clear();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      text_(std::exchange(other.text_, nullptr)),
      write_failed_(other.write_failed_),
      temporary_path_(std::move(other.temporary_path_)),
      replaced_path_(std::move(other.replaced_path_)),
      size_before_(other.size_before_),
      exceptions_at_open_(other.exceptions_at_open_),
      fault_after_(other.fault_after_),
      written_(other.written_) {
  other.temporary_path_.clear();
}

OutputFile::~OutputFile() {
  if (file_ != nullptr && std::uncaught_exceptions() > exceptions_at_open_) write_failed_ = true;
  close();
}

void OutputFile::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  // Straight to the file but where the bytes must be counted.
  if (text_ != nullptr || fault_after_ >= 0)
    write(vformat(format, args));
  else if (file_ != nullptr && std::vfprintf(file_, format, args) < 0)
    write_failed_ = true;
  va_end(args);
}

void OutputFile::write(const std::string& text) {
  if (text_ != nullptr) *text_ += text;
  if (file_ != nullptr) put(text.data(), text.size());
}

void OutputFile::put(const char* data, std::size_t size) {
  if (fault_after_ >= 0 && written_ + static_cast<long long>(size) > fault_after_) {
    size = static_cast<std::size_t>(std::max(0LL, fault_after_ - written_));
    write_failed_ = true;
  }
  if (std::fwrite(data, 1, size, file_) != size) write_failed_ = true;
  written_ += static_cast<long long>(size);
}

bool OutputFile::close() {
  if (file_ == nullptr) return !write_failed_;
  if (std::fflush(file_) != 0 || !synced(fileno(file_))) write_failed_ = true;
  // A failed append is cut back to what the file held before it.
  if (write_failed_ && size_before_ >= 0 && ftruncate(fileno(file_), size_before_) != 0) {}
  if (std::fclose(file_) != 0) write_failed_ = true;
  file_ = nullptr;
  if (temporary_path_.empty()) return !write_failed_;
  if (!write_failed_ && std::rename(temporary_path_.c_str(), replaced_path_.c_str()) != 0) write_failed_ = true;
  if (write_failed_) unlink(temporary_path_.c_str());
  temporary_path_.clear();
  return !write_failed_;
}

}  // namespace kalveno
