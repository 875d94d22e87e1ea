// Files of the simulated desktop, kept on the real file system under a root folder.
//
// The Windows path "C:\dir\file" is the file <root>/C/dir/file; the drive letter is taken in
// upper case and "." and ".." are resolved without ever leaving the drive. A path without a
// drive letter fails with ERROR_PATH_NOT_FOUND (there is no current directory), one with a
// character Windows forbids in names with ERROR_INVALID_NAME. Errors are the Windows codes a
// program would get for the same situation on Windows, including the read-only attribute,
// which is a missing owner write bit here and is honoured even for root.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/sim/sim_windows.h"

namespace sim {

class SimFiles : public platform::IFiles {
 public:
  static constexpr const char* DefaultModuleFileName =
      "C:\\Program Files\\Clipboard manager\\Clipboard_manager.exe";

  // Creates the root folder and drive C: when they do not exist.
  explicit SimFiles(std::string rootFolder, std::string moduleFileName = DefaultModuleFileName);
  ~SimFiles() override;
  SimFiles(const SimFiles&) = delete;
  SimFiles& operator=(const SimFiles&) = delete;

  std::string GetModuleFileNameW() override { return moduleFileName_; }
  platform::Dword CreateForWriting(const std::string& path, platform::FileHandle& file) override;
  platform::Dword OpenForAppend(const std::string& path, platform::FileHandle& file) override;
  platform::Dword Write(platform::FileHandle file, const void* data, std::size_t size) override;
  platform::Dword Flush(platform::FileHandle file) override;
  platform::Dword Close(platform::FileHandle file) override;
  platform::Dword ReadAll(const std::string& path, std::string& bytes) override;
  platform::Dword Replace(const std::string& source, const std::string& target) override;
  platform::Dword Delete(const std::string& path) override;
  platform::Dword CreateFolder(const std::string& path) override;
  platform::Dword ListFolder(const std::string& path, std::vector<std::string>& names) override;
  platform::Dword GetFileStamp(const std::string& path, FileStamp& stamp) override;
  bool IsReadOnly(const std::string& path) override;
  bool IsReparsePoint(const std::string& path) override;  // a symbolic link of the real file system
  // FormatMessageA's text; empty for a code the system has no text for.
  std::string ErrorText(platform::Dword code) override;

  // ---- For tests ----
  void SetModuleFileName(std::string path) { moduleFileName_ = std::move(path); }
  const std::string& Root() const { return root_; }
  // The real path of a Windows path; throws std::invalid_argument for one the desktop rejects.
  std::string RealPath(const std::string& winPath) const;
  void MakeFolder(const std::string& winPath);  // with the folders above it
  void PutFile(const std::string& winPath, const std::string& bytes);
  std::string FileBytes(const std::string& winPath) const;  // throws std::runtime_error if unreadable
  // The file's size in bytes, 0 for one that is not there: cheaper than FileBytes for a test
  // that watches a large file grow.
  std::uint64_t FileSize(const std::string& winPath) const;
  bool Exists(const std::string& winPath) const;
  int OpenFileCount() const { return static_cast<int>(open_.size()); }
  // How many times a file's content was put on the disk (FlushFileBuffers).
  int Flushes() const { return flushes_; }

  // ---- Injected faults ----
  // Every operation on the path, or on anything below it when it is a folder, fails with
  // ERROR_ACCESS_DENIED.
  void DenyAccess(const std::string& winPath);
  // After `bytes` more bytes, writes stop short and fail with `error`.
  void FailWritesAfter(std::size_t bytes, platform::Dword error = platform::ErrorDiskFull);
  // Another program holds the file open without sharing for `ms` of the desktop's time
  // (Forever: until ClearFaults): opening, replacing and deleting it fail with
  // ERROR_SHARING_VIOLATION. Without a clock the hold lasts until ClearFaults.
  static constexpr std::uint64_t Forever = ~std::uint64_t{0};
  void HoldWithoutSharing(const std::string& winPath, std::uint64_t ms);
  void UseClock(const VirtualClock* clock) { clock_ = clock; }
  // Replace fails with `error` (0: works again).
  void FailReplace(platform::Dword error) { replaceError_ = error; }
  // Sets or clears the read-only attribute (the file's write permission bits).
  void SetReadOnly(const std::string& winPath, bool readOnly);
  void ClearFaults();

  // The Windows error that stands for a POSIX errno value.
  static platform::Dword ErrorFromErrno(int error);

 private:
  struct OpenFile {
    int fd = -1;
    std::string realPath;
  };

  platform::Dword ToReal(const std::string& winPath, std::string& real) const;
  bool Denied(const std::string& real) const;
  // The error of an operation on a denied or held file, else 0.
  platform::Dword Blocked(const std::string& real) const;
  // ERROR_FILE_NOT_FOUND when the folder exists, ERROR_PATH_NOT_FOUND when it does not.
  static platform::Dword MissingError(const std::string& real);

  std::string root_;
  std::string moduleFileName_;
  std::map<platform::FileHandle, OpenFile> open_;
  int flushes_ = 0;
  platform::FileHandle nextHandle_ = 0x100;
  std::vector<std::string> denied_;  // real paths
  bool writeBudgetSet_ = false;
  std::size_t writeBudget_ = 0;
  platform::Dword writeError_ = 0;
  platform::Dword replaceError_ = 0;
  std::map<std::string, std::uint64_t> held_;  // real path -> end of the hold
  const VirtualClock* clock_ = nullptr;
};

}  // namespace sim
