// cm_owner_check_bench [ROUNDS]: what the check for a program kept out costs a capture on this
// desktop. It asks, as the recorder does at every change, which program owns the clipboard and
// whether it is kept out, ROUNDS times (default 20000), with the clipboard owned by a window of
// another process when one owns it at the start (run a copying program first), or else by a
// window of this one. Prints the microseconds a check takes, the median of five batches.
// The program's headers first: the Win32 backend's own takes care of the macros windows.h has.
#include "history/excluded_programs.h"
#include "platform/win32/win32_desktop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
  win32::Win32Desktop desktop(::GetModuleHandleA(nullptr));
  HWND owner = ::GetClipboardOwner();
  DWORD ownerProcess = 0;
  if (owner) ::GetWindowThreadProcessId(owner, &ownerProcess);
  const bool foreign = owner && ownerProcess != ::GetCurrentProcessId();
  if (!foreign) {
    HWND window = ::CreateWindowExA(0, "STATIC", "Owner check", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, 4 * sizeof(wchar_t));
    std::copy_n(L"abc", 4, static_cast<wchar_t*>(::GlobalLock(block)));
    ::GlobalUnlock(block);
    if (!window || !::OpenClipboard(window)) return 1;
    ::EmptyClipboard();
    ::SetClipboardData(CF_UNICODETEXT, block);
    ::CloseClipboard();
  }
  history::ExcludedPrograms excluded(desktop);  // the default list of eight
  std::vector<double> batches;
  int kept = 0;
  for (int batch = 0; batch < 5; ++batch) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) kept += excluded.ExcludesClipboardSource() ? 1 : 0;
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    batches.push_back(spent.count() / rounds);
  }
  std::sort(batches.begin(), batches.end());
  std::printf("owner check: %.2f us a capture (median of 5 x %d; owner %s; kept out %d times)\n", batches[2],
              rounds, foreign ? "in another process" : "in this process", kept);
  return 0;
}
