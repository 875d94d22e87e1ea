#include <algorithm>
#include <limits>
#include <memory>
#include <type_traits>

#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"

namespace win32 {

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// One WriteFile or ReadFile moves at most a DWORD's worth; stay well below it.
constexpr std::size_t kChunk = 1u << 30;

}  // namespace

std::string Win32Files::GetModuleFileNameW() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A full buffer means the path was cut; try again with more room.
    if (length < path.size()) return Utf8FromWide(path.data(), length);
    path.resize(path.size() * 2);
  }
}

platform::Dword Win32Files::CreateForWriting(const std::string& path, platform::FileHandle& file) {
  HANDLE handle = ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    file = 0;
    return ::GetLastError();
  }
  file = From(handle);
  return ERROR_SUCCESS;
}

platform::Dword Win32Files::OpenForAppend(const std::string& path, platform::FileHandle& file) {
  HANDLE handle = ::CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    file = 0;
    return ::GetLastError();
  }
  file = From(handle);
  return ERROR_SUCCESS;
}

platform::Dword Win32Files::Write(platform::FileHandle file, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(To<HANDLE>(file), bytes, static_cast<DWORD>(std::min(size, kChunk)), &written, nullptr))
      return ::GetLastError();
    // A write that succeeds but moves nothing has run out of room.
    if (written == 0) return ERROR_DISK_FULL;
    bytes += written;
    size -= written;
  }
  return ERROR_SUCCESS;
}

platform::Dword Win32Files::Flush(platform::FileHandle file) {
  return ::FlushFileBuffers(To<HANDLE>(file)) ? ERROR_SUCCESS : ::GetLastError();
}

platform::Dword Win32Files::Close(platform::FileHandle file) {
  return ::CloseHandle(To<HANDLE>(file)) ? ERROR_SUCCESS : ::GetLastError();
}

platform::Dword Win32Files::ReadAll(const std::string& path, std::string& bytes) {
  bytes.clear();
  UniqueHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return ::GetLastError();
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.get(), &size)) return ::GetLastError();
  if (static_cast<unsigned long long>(size.QuadPart) > std::numeric_limits<std::size_t>::max() / 2)
    return ERROR_NOT_ENOUGH_MEMORY;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data() + done,
                    static_cast<DWORD>(std::min(bytes.size() - done, kChunk)), &read, nullptr)) {
      DWORD error = ::GetLastError();
      bytes.clear();
      return error;
    }
    if (read == 0) break;  // the file shrank while being read
    done += read;
  }
  bytes.resize(done);
  return ERROR_SUCCESS;
}

platform::Dword Win32Files::ReadInPieces(const std::string& path, const PieceTaker& take) {
  UniqueHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return ::GetLastError();
  }
  // A megabyte at a time: a large history then never costs its file's size in memory on top
  // of its rows, and the calls are still few.
  constexpr DWORD kPiece = 1u << 20;
  auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer.get(), kPiece, &read, nullptr)) return ::GetLastError();
    if (read == 0) return ERROR_SUCCESS;
    if (platform::Dword error = take(std::string_view(buffer.get(), read))) return error;
  }
}

platform::Dword Win32Files::Replace(const std::string& source, const std::string& target) {
  return ::MoveFileExW(WideFromUtf8(source).c_str(), WideFromUtf8(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? ERROR_SUCCESS
             : ::GetLastError();
}

platform::Dword Win32Files::Delete(const std::string& path) {
  return ::DeleteFileW(WideFromUtf8(path).c_str()) ? ERROR_SUCCESS : ::GetLastError();
}

platform::Dword Win32Files::CreateFolder(const std::string& path) {
  if (::CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr)) return ERROR_SUCCESS;
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return ERROR_SUCCESS;
  }
  return error;
}

platform::Dword Win32Files::ListFolder(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAW found;
  const HANDLE find = ::FindFirstFileW(WideFromUtf8(path + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
  }
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      names.push_back(Utf8FromWide(found.cFileName, ::wcslen(found.cFileName)));
  } while (::FindNextFileW(find, &found));
  const DWORD error = ::GetLastError();
  ::FindClose(find);
  return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
}

platform::Dword Win32Files::GetFileStamp(const std::string& path, FileStamp& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data))
    return ::GetLastError();
  stamp.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  stamp.lastWrite =
      (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  return ERROR_SUCCESS;
}

bool Win32Files::IsReadOnly(const std::string& path) {
  DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool Win32Files::IsReparsePoint(const std::string& path) {
  // The attributes of the link itself: GetFileAttributes does not follow one.
  DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::string Win32Files::ErrorText(platform::Dword code) {
  wchar_t buffer[1024] = {};
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  0, buffer, sizeof buffer / sizeof buffer[0], nullptr);
  std::string text = Utf8FromWide(buffer, length);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace win32
