// cm_seal_bench [RECORDS]: sealing on the Windows desktop itself (DPAPI and CNG), as the
// program seals its files: checks that a sealed file and journal open again and that a changed
// byte is refused, then times a journal record per capture (the record of a 100-character
// text), a new journal's key (the DPAPI share, paid once a journal), and the sealing and opening
// of a file of 10^6 such records' size. Prints microseconds and milliseconds.
#include "grid/sealed_file.h"
#include "platform/win32/win32_crypto.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 20000;
  win32::Win32Crypto crypto;
  // About what a journal record of a 100-character capture holds: UTF-16 text, a date, framing.
  const std::string record(260, 'r');

  std::string sealed, plain;
  if (!grid::SealFile(crypto, "plain text", sealed) ||
      grid::UnsealFile(crypto, sealed, plain) != grid::Unsealed::Opened || plain != "plain text") {
    std::printf("a sealed file does not open again\n");
    return 1;
  }
  sealed[sealed.size() - 1] ^= 1;
  if (grid::UnsealFile(crypto, sealed, plain) != grid::Unsealed::Tampered) {
    std::printf("a changed byte was not refused\n");
    return 1;
  }

  auto start = std::chrono::steady_clock::now();
  const int journals = 50;
  for (int i = 0; i < journals; ++i) {
    grid::JournalSealer sealer(crypto);
    std::string header;
    if (!sealer.Begin(header)) return 1;
  }
  const double perKey = Since(start) / journals;

  grid::JournalSealer sealer(crypto);
  std::string journal, out;
  if (!sealer.Begin(journal)) return 1;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < records; ++i) {
    if (!sealer.Seal(record, out)) return 1;
    journal += out;
  }
  const double perRecord = Since(start) / records;
  int read = 0;
  grid::ReadSealedJournal(crypto, journal, [&](std::string_view) { ++read; });
  if (read != records) {
    std::printf("the journal read back %d of %d records\n", read, records);
    return 1;
  }

  const std::string file(250u * 1024 * 1024, 'f');  // a history file of 10^6 entries
  start = std::chrono::steady_clock::now();
  if (!grid::SealFile(crypto, file, sealed)) return 1;
  const double sealMs = Since(start) / 1000;
  start = std::chrono::steady_clock::now();
  if (grid::UnsealFile(crypto, sealed, plain) != grid::Unsealed::Opened || plain.size() != file.size())
    return 1;
  const double openMs = Since(start) / 1000;

  std::printf(
      "journal record: %.1f us a capture (%d records); a new journal's key (DPAPI): %.0f us, once a "
      "journal\n",
      perRecord, records, perKey);
  std::printf("a 250 MiB file: sealed in %.0f ms, opened in %.0f ms\n", sealMs, openMs);
  return 0;
}
