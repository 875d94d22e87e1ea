#include "platform/win32/win32_services.h"

#include <shellapi.h>

namespace win32 {

namespace {

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

std::intptr_t Win32Shell::ShellExecuteA(platform::Hwnd owner, const std::string& verb,
                                        const std::string& file, const std::string& parameters,
                                        const std::string& directory, int showCmd) {
  return reinterpret_cast<std::intptr_t>(::ShellExecuteA(ToHwnd(owner), OrNull(verb), file.c_str(),
                                                         OrNull(parameters), OrNull(directory), showCmd));
}

}  // namespace win32
