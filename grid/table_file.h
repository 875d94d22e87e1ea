// The table text file: one line per row, fields joined by a separator, line breaks inside a
// cell written as a mark character, UTF-16 with a byte order mark or 8-bit text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "grid/sealed_file.h"
#include "grid/table.h"
#include "platform/codepage.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/types.h"

namespace grid {

// Encoding selectors of WriteRowsToFile.
constexpr std::uint8_t AnsiEncoding = 0;     // the system code page, no mark
constexpr std::uint8_t Utf16LeEncoding = 1;  // FF FE, then low byte first
constexpr std::uint8_t Utf16BeEncoding = 2;  // FE FF, then high byte first

// Raises the platform::IoError that stands for a Windows error code of a file operation:
// "File not found" (2), "Invalid filename" (3), "Too many open files" (4), "File access
// denied" (5), "Disk full" (code 101, for ERROR_DISK_FULL and ERROR_HANDLE_DISK_FULL) and
// "I/O error <code>" for any other.
[[noreturn]] void RaiseIoError(platform::Dword windowsError);

// Replaces the file's whole content in one step: the old file is either left exactly as it was
// or holds the new bytes. Returns 0 or the Windows error code of the first failure.
platform::Dword ReplaceFileContents(platform::IFiles& files, const std::string& fileName, const void* data,
                                    std::size_t size);

// Writes every row of the table; each reads back exactly. Any other selector than the three above writes
// nothing and leaves an existing file alone. The old file is replaced only once the new one is complete, so a
// failure leaves it as it was; failures raise platform::IoError.
// With `sealWith`, the file is sealed for the Windows account (sealed_file.h) as it is written.
void WriteRowsToFile(const Table& table, platform::IFiles& files, platform::ICodePage& codePage,
                     const std::string& fileName, char16_t separator, char16_t lineBreakMark,
                     std::uint8_t encoding, platform::ICrypto* sealWith = nullptr);

// Removes all rows, then appends one row per line of `bytes`. The encoding is found from the
// content: a byte order mark (UTF-16LE, UTF-16BE, UTF-8); without one, UTF-16LE whose mark was
// lost, then valid UTF-8 that holds non-ASCII bytes, and otherwise 8-bit text read byte for
// byte. Returns false when the content cannot be a table text file (a NUL character, or a
// stray last byte of 16-bit text); the rows it holds are read all the same. `dropped`, when
// given, tells whether the reading left out anything the content held: text in an increment
// column, or fields past the last column other than the exact-text field.
//
// A text the format cannot hold as it is (see exact_text.h) is written as the format's nearest
// reading, which every reader shows, and exactly in one more field after the last column,
// which readers that keep only the columns drop; this reader puts it back.
bool ReadRowsFromBytes(Table& table, std::string_view bytes, char16_t separator, char16_t lineBreakMark,
                       bool* dropped = nullptr);

// The same without removing the rows the table holds: the content's rows go below them.
bool AppendRowsFromBytes(Table& table, std::string_view bytes, char16_t separator, char16_t lineBreakMark,
                         bool* dropped = nullptr);

// Reads the file piece by piece and appends its rows below the table's, with the encoding found
// as ReadRowsFromBytes finds it; a file with a UTF-16 mark is never in memory whole. Returns 0,
// or the Windows error of the read, in which case the rows read so far stay for the caller to
// drop. `wellFormed` is ReadRowsFromBytes's result for the content; `asWritten`, when given,
// tells whether the file holds exactly what WriteRowsToFile in UTF-16LE makes of the rows read,
// and `dropped` is ReadRowsFromBytes's.
//
// A sealed file is opened with `crypto` as it streams in; `sealed`, when given, tells what it
// was. One that does not open (no `crypto`, another account, a changed byte) returns
// SealingFailed with `sealed->result` saying why, and the rows it gave stay for the caller to
// drop. `afterRow`, when given, is called after each row is appended, and may take the table's
// rows away.
struct SealedRead {
  bool sealed = false;
  Unsealed result = Unsealed::Opened;
};
platform::Dword AppendRowsFromFile(Table& table, platform::IFiles& files, const std::string& fileName,
                                   char16_t separator, char16_t lineBreakMark, bool& wellFormed,
                                   bool* asWritten = nullptr, bool* dropped = nullptr,
                                   platform::ICrypto* crypto = nullptr, SealedRead* sealed = nullptr,
                                   const std::function<void()>& afterRow = {});

// Removes all rows, then reads the file as AppendRowsFromFile does. A missing or unreadable file leaves the
// table empty and raises platform::IoError, a read that fails half-way keeps the rows read before it and
// raises; the content itself never raises.
// A sealed file that does not open raises platform::IoError with the reason.
void ReadRowsFromFile(Table& table, platform::IFiles& files, const std::string& fileName, char16_t separator,
                      char16_t lineBreakMark, platform::ICrypto* crypto = nullptr);

}  // namespace grid
