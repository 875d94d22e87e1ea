#include "platform/sim/sim_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef _MSC_VER
// Microsoft's C runtime has the POSIX calls under their old names, but not these macros.
#define S_ISDIR(mode) (((mode)&_S_IFMT) == _S_IFDIR)
#define S_ISREG(mode) (((mode)&_S_IFMT) == _S_IFREG)
#define S_IWUSR _S_IWRITE
#define F_OK 0
using mode_t = int;
#endif

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace sim {

using platform::Dword;

namespace {

// The simulation also builds for Windows (MinGW), where files must be opened as binary and
// flushing to disk is _commit.
#ifdef _WIN32
constexpr int OpenFlags = O_BINARY | O_NOINHERIT;
int FlushToDisk(int fd) { return ::_commit(fd); }
#else
constexpr int OpenFlags = O_CLOEXEC;
int FlushToDisk(int fd) { return ::fsync(fd); }
#endif

// Large writes go in pieces the Windows C runtime can take (its count is an unsigned int).
constexpr std::size_t MaxWrite = std::size_t{1} << 30;

constexpr Dword ErrorInvalidHandle = 6;
constexpr Dword ErrorNotEnoughMemory = 8;
constexpr Dword ErrorNotSameDevice = 17;
constexpr Dword ErrorGenFailure = 31;
constexpr Dword ErrorFileExists = 80;
constexpr Dword ErrorInvalidParameter = 87;
constexpr Dword ErrorFilenameExcedRange = 206;
constexpr Dword ErrorIoDevice = 1117;
constexpr Dword ErrorCantResolveFilename = 1921;

bool ForbiddenInName(char ch) {
  const auto u = static_cast<unsigned char>(ch);
  return u < 32 || ch == '<' || ch == '>' || ch == ':' || ch == '"' || ch == '|' || ch == '?' || ch == '*';
}

std::string ParentOf(const std::string& real) {
  const std::size_t slash = real.rfind('/');
  return slash == std::string::npos ? std::string(".") : real.substr(0, slash);
}

bool IsFolder(const std::string& real) {
  struct stat st;
  return ::stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The read-only attribute; the owner's write bit stands for it so that it holds even for a
// test run as root, for whom the kernel ignores permissions.
bool ReadOnlyFile(const std::string& real) {
  struct stat st;
  return ::stat(real.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

}  // namespace

SimFiles::SimFiles(std::string rootFolder, std::string moduleFileName)
    : root_(std::move(rootFolder)), moduleFileName_(std::move(moduleFileName)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  // Drive C: is always there, as on any Windows system; other drives appear with MakeFolder.
  std::filesystem::create_directories(root_ + "/C");
}

SimFiles::~SimFiles() {
  for (auto& [handle, file] : open_) ::close(file.fd);
}

Dword SimFiles::ErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return 0;
    case ENOENT:
      return platform::ErrorFileNotFound;
    case ENOTDIR:
      return platform::ErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return platform::ErrorAccessDenied;
    case EMFILE:
    case ENFILE:
      return platform::ErrorTooManyOpenFiles;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return platform::ErrorDiskFull;
    case EBADF:
      return ErrorInvalidHandle;
    case ENOMEM:
      return ErrorNotEnoughMemory;
    case EXDEV:
      return ErrorNotSameDevice;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
      return platform::ErrorSharingViolation;
    case EEXIST:
    case ENOTEMPTY:
      return ErrorFileExists;
    case EINVAL:
      return ErrorInvalidParameter;
    case ENAMETOOLONG:
      return ErrorFilenameExcedRange;
    case EIO:
      return ErrorIoDevice;
#ifdef ELOOP
    case ELOOP:
      return ErrorCantResolveFilename;
#endif
    default:
      return ErrorGenFailure;
  }
}

Dword SimFiles::ToReal(const std::string& winPath, std::string& real) const {
  const bool hasDrive =
      winPath.size() >= 2 && winPath[1] == ':' &&
      ((winPath[0] >= 'A' && winPath[0] <= 'Z') || (winPath[0] >= 'a' && winPath[0] <= 'z'));
  // "C:" and "C:file" are relative to the drive's current directory, which is not simulated.
  if (!hasDrive || winPath.size() < 3 || (winPath[2] != '\\' && winPath[2] != '/')) {
    return platform::ErrorPathNotFound;
  }
  std::vector<std::string> parts;
  std::size_t start = 3;
  while (start <= winPath.size()) {
    std::size_t end = winPath.find_first_of("\\/", start);
    if (end == std::string::npos) end = winPath.size();
    std::string part = winPath.substr(start, end - start);
    start = end + 1;
    for (char ch : part) {
      if (ForbiddenInName(ch)) return platform::ErrorInvalidName;
    }
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  real = root_ + '/' + static_cast<char>(winPath[0] & ~0x20);
  for (const std::string& part : parts) real += '/' + part;
  return 0;
}

bool SimFiles::Denied(const std::string& real) const {
  for (const std::string& denied : denied_) {
    if (real == denied || (real.size() > denied.size() && real.compare(0, denied.size(), denied) == 0 &&
                           real[denied.size()] == '/')) {
      return true;
    }
  }
  return false;
}

Dword SimFiles::Blocked(const std::string& real) const {
  if (Denied(real)) return platform::ErrorAccessDenied;
  const auto it = held_.find(real);
  if (it != held_.end() && (clock_ == nullptr || clock_->Ms() < it->second))
    return platform::ErrorSharingViolation;
  return 0;
}

void SimFiles::HoldWithoutSharing(const std::string& winPath, std::uint64_t ms) {
  std::string real;
  if (ToReal(winPath, real) != 0) throw std::invalid_argument("bad path: " + winPath);
  const std::uint64_t now = clock_ ? clock_->Ms() : 0;
  held_[real] = ms == Forever ? Forever : now + ms;
}

Dword SimFiles::OpenForAppend(const std::string& path, platform::FileHandle& file) {
  file = 0;
  std::string real;
  if (Dword error = ToReal(path, real)) return error;
  if (Dword error = Blocked(real)) return error;
  if (ReadOnlyFile(real) || IsFolder(real)) return platform::ErrorAccessDenied;
  const int fd = ::open(real.c_str(), O_WRONLY | O_CREAT | O_APPEND | OpenFlags, 0644);
  if (fd < 0) return errno == ENOENT ? platform::ErrorPathNotFound : ErrorFromErrno(errno);
  file = nextHandle_;
  nextHandle_ += 4;
  open_[file] = OpenFile{fd, real};
  return 0;
}

Dword SimFiles::MissingError(const std::string& real) {
  return IsFolder(ParentOf(real)) ? platform::ErrorFileNotFound : platform::ErrorPathNotFound;
}

Dword SimFiles::CreateForWriting(const std::string& path, platform::FileHandle& file) {
  file = 0;
  std::string real;
  if (Dword error = ToReal(path, real)) return error;
  if (Dword error = Blocked(real)) return error;
  if (ReadOnlyFile(real) || IsFolder(real)) return platform::ErrorAccessDenied;
  const int fd = ::open(real.c_str(), O_WRONLY | O_CREAT | O_TRUNC | OpenFlags, 0644);
  if (fd < 0) {
    // Creating a file can miss only its folder.
    return errno == ENOENT ? platform::ErrorPathNotFound : ErrorFromErrno(errno);
  }
  file = nextHandle_;
  nextHandle_ += 4;
  open_[file] = OpenFile{fd, real};
  return 0;
}

Dword SimFiles::Write(platform::FileHandle file, const void* data, std::size_t size) {
  const auto it = open_.find(file);
  if (it == open_.end()) return ErrorInvalidHandle;
  std::size_t allowed = size;
  if (writeBudgetSet_ && writeBudget_ < size) allowed = writeBudget_;
  const char* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < allowed) {
    const auto n =
        ::write(it->second.fd, bytes + done, static_cast<unsigned>(std::min(allowed - done, MaxWrite)));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (writeBudgetSet_) writeBudget_ -= done;
      return ErrorFromErrno(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (writeBudgetSet_) writeBudget_ -= done;
  return done < size ? writeError_ : 0;
}

Dword SimFiles::Flush(platform::FileHandle file) {
  const auto it = open_.find(file);
  if (it == open_.end()) return ErrorInvalidHandle;
  ++flushes_;
  return FlushToDisk(it->second.fd) == 0 ? 0 : ErrorFromErrno(errno);
}

Dword SimFiles::Close(platform::FileHandle file) {
  const auto it = open_.find(file);
  if (it == open_.end()) return ErrorInvalidHandle;
  const int result = ::close(it->second.fd);
  const int error = errno;
  open_.erase(it);
  return result == 0 ? 0 : ErrorFromErrno(error);
}

Dword SimFiles::ReadAll(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::string real;
  if (Dword error = ToReal(path, real)) return error;
  if (Dword error = Blocked(real)) return error;
  const int fd = ::open(real.c_str(), O_RDONLY | OpenFlags);
  if (fd < 0) return errno == ENOENT ? MissingError(real) : ErrorFromErrno(errno);
  struct stat st;
  Dword error = 0;
  if (::fstat(fd, &st) != 0) {
    error = ErrorFromErrno(errno);
  } else if (S_ISDIR(st.st_mode)) {
    error = platform::ErrorAccessDenied;  // as CreateFile on a folder
  } else {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const auto n =
          ::read(fd, bytes.data() + done, static_cast<unsigned>(std::min(bytes.size() - done, MaxWrite)));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = ErrorFromErrno(errno);
        break;
      }
      if (n == 0) break;  // the file shrank meanwhile
      done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
  }
  ::close(fd);
  if (error != 0) bytes.clear();
  return error;
}

Dword SimFiles::Replace(const std::string& source, const std::string& target) {
  std::string realSource, realTarget;
  if (Dword error = ToReal(source, realSource)) return error;
  if (Dword error = ToReal(target, realTarget)) return error;
  if (Dword error = Blocked(realSource)) return error;
  if (Dword error = Blocked(realTarget)) return error;
  if (replaceError_ != 0) return replaceError_;
  if (::access(realSource.c_str(), F_OK) != 0) return MissingError(realSource);
  // MoveFileEx refuses to replace a read-only file or a folder.
  if (ReadOnlyFile(realTarget) || IsFolder(realTarget)) return platform::ErrorAccessDenied;
#ifdef _WIN32
  ::_unlink(realTarget.c_str());  // the C runtime's rename does not replace
#endif
  if (::rename(realSource.c_str(), realTarget.c_str()) != 0) {
    return errno == ENOENT ? platform::ErrorPathNotFound : ErrorFromErrno(errno);
  }
#ifndef _WIN32
  // Write-through: the new directory entry is on disk before Replace returns.
  const int dir = ::open(ParentOf(realTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
#endif
  return 0;
}

Dword SimFiles::Delete(const std::string& path) {
  std::string real;
  if (Dword error = ToReal(path, real)) return error;
  if (Dword error = Blocked(real)) return error;
  struct stat st;
  if (::stat(real.c_str(), &st) != 0) return errno == ENOENT ? MissingError(real) : ErrorFromErrno(errno);
  if (S_ISDIR(st.st_mode) || ReadOnlyFile(real)) return platform::ErrorAccessDenied;
  return ::unlink(real.c_str()) == 0 ? 0 : ErrorFromErrno(errno);
}

Dword SimFiles::CreateFolder(const std::string& path) {
  std::string real;
  if (Dword error = ToReal(path, real)) return error;
  if (Dword error = Blocked(real)) return error;
  std::error_code error;
  if (std::filesystem::is_directory(real, error)) return 0;
  if (!std::filesystem::is_directory(std::filesystem::path(real).parent_path(), error))
    return platform::ErrorPathNotFound;
  if (writeBudgetSet_ && writeBudget_ == 0) return writeError_;  // a full disk takes no folder either
  return std::filesystem::create_directory(real, error) ? 0 : ErrorFromErrno(error.value());
}

Dword SimFiles::ListFolder(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  std::string real;
  if (Dword error = ToReal(path, real)) return error;
  if (Denied(real)) return platform::ErrorAccessDenied;
  std::error_code error;
  if (!std::filesystem::is_directory(real, error)) return platform::ErrorPathNotFound;
  for (const auto& entry : std::filesystem::directory_iterator(real, error))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  return error ? ErrorFromErrno(error.value()) : 0;
}

Dword SimFiles::GetFileStamp(const std::string& path, FileStamp& stamp) {
  std::string real;
  if (Dword error = ToReal(path, real)) return error;
  struct stat st;
  if (::stat(real.c_str(), &st) != 0) return errno == ENOENT ? MissingError(real) : ErrorFromErrno(errno);
  std::error_code error;
  const auto written = std::filesystem::last_write_time(real, error);
  if (error) return platform::ErrorAccessDenied;
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.lastWrite = static_cast<std::uint64_t>(written.time_since_epoch().count());
  return 0;
}

bool SimFiles::IsReadOnly(const std::string& path) {
  std::string real;
  return ToReal(path, real) == 0 && ReadOnlyFile(real);
}

bool SimFiles::IsReparsePoint(const std::string& path) {
  std::string real;
  std::error_code error;
  return ToReal(path, real) == 0 && std::filesystem::is_symlink(std::filesystem::symlink_status(real, error));
}

std::string SimFiles::ErrorText(Dword code) {
  switch (code) {
    case 0:
      return "The operation completed successfully.";
    case platform::ErrorFileNotFound:
      return "The system cannot find the file specified.";
    case platform::ErrorPathNotFound:
      return "The system cannot find the path specified.";
    case platform::ErrorTooManyOpenFiles:
      return "The system cannot open the file.";
    case platform::ErrorAccessDenied:
      return "Access is denied.";
    case ErrorInvalidHandle:
      return "The handle is invalid.";
    case ErrorNotEnoughMemory:
      return "Not enough memory resources are available to process this command.";
    case ErrorNotSameDevice:
      return "The system cannot move the file to a different disk drive.";
    case ErrorGenFailure:
      return "A device attached to the system is not functioning.";
    case platform::ErrorSharingViolation:
      return "The process cannot access the file because it is being used by another process.";
    case platform::ErrorHandleDiskFull:
      return "The disk is full.";
    case ErrorFileExists:
      return "The file exists.";
    case ErrorInvalidParameter:
      return "The parameter is incorrect.";
    case platform::ErrorDiskFull:
      return "There is not enough space on the disk.";
    case platform::ErrorInvalidName:
      return "The filename, directory name, or volume label syntax is incorrect.";
    case ErrorFilenameExcedRange:
      return "The filename or extension is too long.";
    case ErrorIoDevice:
      return "The request could not be performed because of an I/O device error.";
    case platform::ErrorHotKeyAlreadyRegistered:
      return "Hot key is already registered.";
    case ErrorCantResolveFilename:
      return "The name of the file cannot be resolved by the system.";
    default:
      return "";
  }
}

std::string SimFiles::RealPath(const std::string& winPath) const {
  std::string real;
  if (ToReal(winPath, real) != 0)
    throw std::invalid_argument("Not a path of the simulated desktop: " + winPath);
  return real;
}

void SimFiles::MakeFolder(const std::string& winPath) {
  std::filesystem::create_directories(RealPath(winPath));
}

void SimFiles::PutFile(const std::string& winPath, const std::string& bytes) {
  const std::string real = RealPath(winPath);
  std::filesystem::create_directories(ParentOf(real));
  const int fd = ::open(real.c_str(), O_WRONLY | O_CREAT | O_TRUNC | OpenFlags, 0644);
  if (fd < 0) throw std::runtime_error("Cannot create " + real);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto n =
        ::write(fd, bytes.data() + done, static_cast<unsigned>(std::min(bytes.size() - done, MaxWrite)));
    if (n <= 0) {
      ::close(fd);
      throw std::runtime_error("Cannot write " + real);
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

std::uint64_t SimFiles::FileSize(const std::string& winPath) const {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(RealPath(winPath), error);
  return error ? 0 : size;
}

std::string SimFiles::FileBytes(const std::string& winPath) const {
  const std::string real = RealPath(winPath);
  const int fd = ::open(real.c_str(), O_RDONLY | OpenFlags);
  if (fd < 0) throw std::runtime_error("Cannot open " + real);
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const auto n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return bytes;
}

bool SimFiles::Exists(const std::string& winPath) const {
  std::string real;
  return ToReal(winPath, real) == 0 && ::access(real.c_str(), F_OK) == 0;
}

void SimFiles::DenyAccess(const std::string& winPath) { denied_.push_back(RealPath(winPath)); }

void SimFiles::FailWritesAfter(std::size_t bytes, Dword error) {
  writeBudgetSet_ = true;
  writeBudget_ = bytes;
  writeError_ = error;
}

void SimFiles::SetReadOnly(const std::string& winPath, bool readOnly) {
  const std::string real = RealPath(winPath);
  struct stat st;
  if (::stat(real.c_str(), &st) != 0) throw std::runtime_error("No such file: " + real);
  const mode_t mode = readOnly ? (st.st_mode & ~mode_t{0222}) : (st.st_mode | S_IWUSR);
  if (::chmod(real.c_str(), mode & 07777) != 0) throw std::runtime_error("Cannot change " + real);
}

void SimFiles::ClearFaults() {
  denied_.clear();
  writeBudgetSet_ = false;
  replaceError_ = 0;
  held_.clear();
}

}  // namespace sim
