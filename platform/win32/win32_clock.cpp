#include <string>

#include "platform/win32/win32_services.h"

namespace win32 {

namespace {

SYSTEMTIME ToSystemTime(const platform::SystemTime& time) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(time.year);
  st.wMonth = static_cast<WORD>(time.month);
  st.wDayOfWeek = static_cast<WORD>(time.dayOfWeek);
  st.wDay = static_cast<WORD>(time.day);
  st.wHour = static_cast<WORD>(time.hour);
  st.wMinute = static_cast<WORD>(time.minute);
  st.wSecond = static_cast<WORD>(time.second);
  st.wMilliseconds = static_cast<WORD>(time.milliseconds);
  return st;
}

// Both formatting functions tell the size they need when given no buffer.
template <class Format>
std::string Formatted(Format format) {
  int size = format(nullptr, 0);
  if (size <= 0) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  size = format(text.data(), size);
  text.resize(size > 0 ? static_cast<std::size_t>(size - 1) : 0);  // without the terminating NUL
  return text;
}

}  // namespace

platform::Dword Win32Clock::GetTickCount() { return ::GetTickCount(); }

namespace {

platform::SystemTime FromSystemTime(const SYSTEMTIME& st) {
  platform::SystemTime time;
  time.year = st.wYear;
  time.month = st.wMonth;
  time.dayOfWeek = st.wDayOfWeek;
  time.day = st.wDay;
  time.hour = st.wHour;
  time.minute = st.wMinute;
  time.second = st.wSecond;
  time.milliseconds = st.wMilliseconds;
  return time;
}

}  // namespace

std::int64_t Win32Clock::UtcNowMs() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) /
                                   10000);
}

platform::SystemTime Win32Clock::LocalTimeOfUtc(std::int64_t utcMs) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(utcMs < 0 ? 0 : utcMs) * 10000;
  FILETIME ft{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc, local;
  if (!::FileTimeToSystemTime(&ft, &utc)) return GetLocalTime();
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return FromSystemTime(utc);
  return FromSystemTime(local);
}

platform::SystemTime Win32Clock::GetLocalTime() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  platform::SystemTime time;
  time.year = st.wYear;
  time.month = st.wMonth;
  time.dayOfWeek = st.wDayOfWeek;
  time.day = st.wDay;
  time.hour = st.wHour;
  time.minute = st.wMinute;
  time.second = st.wSecond;
  time.milliseconds = st.wMilliseconds;
  return time;
}

std::string Win32Clock::FormatShortDate(const platform::SystemTime& time) {
  SYSTEMTIME st = ToSystemTime(time);
  return Formatted([&st](char* buffer, int size) {
    return ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, size);
  });
}

std::string Win32Clock::FormatLongTime(const platform::SystemTime& time) {
  SYSTEMTIME st = ToSystemTime(time);
  return Formatted([&st](char* buffer, int size) {
    return ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, size);
  });
}

void Win32Clock::Sleep(platform::Dword ms) { ::Sleep(ms); }

platform::Handle Win32Instances::CreateMutexA(const std::string& name, bool& alreadyExisted) {
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
  alreadyExisted = mutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
  return From(mutex);
}

bool Win32Instances::CloseHandle(platform::Handle handle) { return ::CloseHandle(To<HANDLE>(handle)) != 0; }

platform::Hevent Win32Clock::CreateEventA(bool manualReset, bool initialState) {
  return From(::CreateEventA(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr));
}

bool Win32Clock::CloseHandle(platform::Hevent handle) { return ::CloseHandle(To<HANDLE>(handle)) != 0; }

platform::Dword Win32Clock::MsgWaitForMultipleObjects(platform::Hevent event, platform::Dword timeoutMs,
                                                      platform::Dword wakeMask) {
  HANDLE handle = To<HANDLE>(event);
  return ::MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs, wakeMask);
}

}  // namespace win32
