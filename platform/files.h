// Files, addressed by Windows paths in UTF-8, which the Windows backend hands to the wide ("W")
// calls, so that a path may hold any character a folder name can.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform {

using FileHandle = Handle;

class IFiles {
 public:
  virtual ~IFiles() = default;
  // The full path of the running executable, in UTF-8.
  virtual std::string GetModuleFileNameW() = 0;

  // Each returns 0 (ERROR_SUCCESS) or the Windows error code of the failure.
  virtual Dword CreateForWriting(const std::string& path, FileHandle& file) = 0;  // create or truncate
  // Opens for writing at the end, creating a missing file; others may still read it.
  virtual Dword OpenForAppend(const std::string& path, FileHandle& file) = 0;
  virtual Dword Write(FileHandle file, const void* data, std::size_t size) = 0;
  virtual Dword Flush(FileHandle file) = 0;
  virtual Dword Close(FileHandle file) = 0;
  // Reads the whole file.
  virtual Dword ReadAll(const std::string& path, std::string& bytes) = 0;
  // Reads the whole file and hands it to `take` piece after piece, each valid during its call,
  // so that a large file never has to be in memory whole; a non-zero result of `take` ends the
  // reading and is returned. The pieces' sizes are the backend's choice: by default the whole
  // file is one piece.
  using PieceTaker = std::function<Dword(std::string_view piece)>;
  virtual Dword ReadInPieces(const std::string& path, const PieceTaker& take) {
    std::string bytes;
    if (Dword error = ReadAll(path, bytes)) return error;
    return take(bytes);
  }
  // Replaces `target` by `source` in one step (MoveFileEx with replace and write-through).
  virtual Dword Replace(const std::string& source, const std::string& target) = 0;
  virtual Dword Delete(const std::string& path) = 0;
  // A file's size and last write time: while both stay the same, so does the file, as far as
  // this program needs to know. Backends without it answer ErrorNotSupported.
  struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;
    bool operator==(const FileStamp&) const = default;
  };
  virtual Dword GetFileStamp(const std::string& path, FileStamp& stamp) {
    (void)path;
    stamp = {};
    return ErrorNotSupported;
  }
  // Creates the folder, whose parent must exist; 0 also when it is there already.
  virtual Dword CreateFolder(const std::string& path) = 0;
  // The names of the files in the folder, not of the folders in it, in no particular order.
  virtual Dword ListFolder(const std::string& path, std::vector<std::string>& names) = 0;
  // Whether `path` names an existing file that may not be written.
  virtual bool IsReadOnly(const std::string& path) = 0;
  // Whether `path` is a reparse point (a symbolic link, a junction): what it names lies
  // elsewhere. Backends without links answer false.
  virtual bool IsReparsePoint(const std::string& path) {
    (void)path;
    return false;
  }
  // The system's description of an error code, in UTF-8, without a trailing line break.
  virtual std::string ErrorText(Dword code) = 0;
};

}  // namespace platform
