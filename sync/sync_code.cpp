#include "sync/sync_code.h"

#include "history/journal.h"

namespace syncing {

namespace {

constexpr char Alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr std::size_t CodeChars = 56;  // 280 bits: the key's 256, 4 bits of 0, the check's 20

std::uint32_t Check(const SyncKey& key) {
  return history::Crc32(std::string_view(reinterpret_cast<const char*>(key.data()), key.size())) >> 12;
}

int ValueOf(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c == 'O') c = '0';
  if (c == 'I' || c == 'L') c = '1';
  for (int v = 0; v < 32; ++v)
    if (Alphabet[v] == c) return v;
  return -1;
}

}  // namespace

std::string SyncCodeText(const SyncKey& key) {
  // The bits in order: the key's, four zero bits, then the check.
  std::array<std::uint8_t, 35> bits{};
  for (std::size_t i = 0; i < key.size(); ++i) bits[i] = key[i];
  const std::uint32_t check = Check(key);
  bits[32] = static_cast<std::uint8_t>(check >> 16);  // its top four bits are zero
  bits[33] = static_cast<std::uint8_t>(check >> 8);
  bits[34] = static_cast<std::uint8_t>(check);
  std::string code;
  for (std::size_t c = 0; c < CodeChars; ++c) {
    int value = 0;
    for (std::size_t b = 0; b < 5; ++b) {
      const std::size_t bit = 5 * c + b;
      value = value << 1 | ((bits[bit / 8] >> (7 - bit % 8)) & 1);
    }
    if (c > 0 && c % 4 == 0) code.push_back('-');
    code.push_back(Alphabet[value]);
  }
  return code;
}

std::optional<SyncKey> ReadSyncCode(std::string_view typed) {
  std::array<std::uint8_t, 35> bits{};
  std::size_t count = 0;
  for (char c : typed) {
    if (c == ' ' || c == '-' || c == '\t') continue;
    const int value = ValueOf(c);
    if (value < 0 || count == CodeChars) return std::nullopt;
    for (int b = 4; b >= 0; --b) {
      const std::size_t bit = 5 * count + static_cast<std::size_t>(4 - b);
      if ((value >> b) & 1) bits[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
    }
    ++count;
  }
  if (count != CodeChars || (bits[32] & 0xF0) != 0) return std::nullopt;
  SyncKey key;
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = bits[i];
  const std::uint32_t check = static_cast<std::uint32_t>(bits[32]) << 16 | bits[33] << 8 | bits[34];
  if (check != Check(key)) return std::nullopt;
  return key;
}

}  // namespace syncing
