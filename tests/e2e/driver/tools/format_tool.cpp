// cm_format_tool: a Windows program that copies and reads clipboard formats other than text,
// as the image and formatted-text tests need them.
//   cm_format_tool copy TEXT FORMAT FILE [STAY_MS]
//       copies TEXT (ASCII, may be empty for none) as CF_UNICODETEXT and the bytes of FILE as
//       FORMAT (a registered name such as "HTML Format", or a number such as 8 for CF_DIB), from
//       a window of its own, and stays STAY_MS milliseconds (default 1500) as the clipboard's owner.
//   cm_format_tool get FORMAT FILE
//       writes the clipboard's block of FORMAT to FILE, exactly as the clipboard holds it.
//   cm_format_tool time FORMAT
//       prints how long opening the clipboard and getting FORMAT's block takes, in milliseconds,
//       twice: what the system's own transfer of the format costs any program that reads it,
//       first from its source, then from what the system holds.
// Exit codes: 0 done, 1 the clipboard or the format was not there, 2 misuse.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

UINT FormatOf(const char* name) {
  char* end = nullptr;
  const unsigned long number = std::strtoul(name, &end, 10);
  if (end != name && *end == 0) return static_cast<UINT>(number);
  return ::RegisterClipboardFormatA(name);
}

bool ReadFile(const char* path, std::string& bytes) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return true;
}

HGLOBAL Block(const void* data, std::size_t size) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
  if (!block) return nullptr;
  void* p = ::GlobalLock(block);
  std::memcpy(p, data, size);
  ::GlobalUnlock(block);
  return block;
}

bool Open(HWND window) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::OpenClipboard(window)) return true;
    ::Sleep(20);
  }
  return false;
}

int Copy(const char* text, const char* formatName, const char* path, DWORD stayMs) {
  std::string bytes;
  if (!ReadFile(path, bytes)) return 2;
  HWND window = ::CreateWindowExA(0, "STATIC", "Format tool", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
  if (!window || !Open(window)) return 1;
  ::EmptyClipboard();
  bool ok = true;
  if (*text) {
    std::wstring wide;
    for (const char* p = text; *p; ++p) wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    ok = ::SetClipboardData(CF_UNICODETEXT, Block(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t))) !=
         nullptr;
  }
  ok = ok && ::SetClipboardData(FormatOf(formatName), Block(bytes.data(), bytes.size())) != nullptr;
  ::CloseClipboard();
  const DWORD until = ::GetTickCount() + stayMs;
  MSG msg;
  while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    ::Sleep(10);
  }
  return ok ? 0 : 1;
}

int Get(const char* formatName, const char* path) {
  if (!Open(nullptr)) return 1;
  HANDLE block = ::GetClipboardData(FormatOf(formatName));
  int result = 1;
  if (block) {
    const SIZE_T size = ::GlobalSize(block);
    const void* data = ::GlobalLock(block);
    if (FILE* file = data ? std::fopen(path, "wb") : nullptr) {
      result = std::fwrite(data, 1, size, file) == size ? 0 : 1;
      std::fclose(file);
    }
    if (data) ::GlobalUnlock(block);
  }
  ::CloseClipboard();
  return result;
}

int Time(const char* formatName) {
  // Read twice: the first read waits for the system to fetch the data from its source (under
  // Wine, from X); the second takes what the system now holds, which is the part a program
  // cannot answer messages during.
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  SIZE_T size = 0;
  for (const char* read : {"first", "second"}) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    if (!Open(nullptr)) return 1;
    HANDLE block = ::GetClipboardData(FormatOf(formatName));
    size = block ? ::GlobalSize(block) : 0;
    ::CloseClipboard();
    ::QueryPerformanceCounter(&end);
    if (!block) return 1;
    std::printf(
        "%s read %.1f ms for %llu bytes\n", read,
        1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
        static_cast<unsigned long long>(size));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "copy" && (argc == 5 || argc == 6))
    return Copy(argv[2], argv[3], argv[4], argc == 6 ? std::strtoul(argv[5], nullptr, 10) : 1500);
  if (command == "get" && argc == 4) return Get(argv[2], argv[3]);
  if (command == "time" && argc == 3) return Time(argv[2]);
  return 2;
}
