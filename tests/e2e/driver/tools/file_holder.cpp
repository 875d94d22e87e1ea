// cm_file_holder FILE MS READY: opens FILE with no sharing at all, as a backup or sync tool may,
// creates the file READY once it holds it, and lets go after MS milliseconds.
// Exit codes: 0 held and released, 1 the file could not be opened, 2 misuse.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: cm_file_holder FILE MS READY\n");
    return 2;
  }
  HANDLE file = ::CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], ::GetLastError());
    return 1;
  }
  HANDLE ready =
      ::CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) ::CloseHandle(ready);
  ::Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
  ::CloseHandle(file);
  return 0;
}
