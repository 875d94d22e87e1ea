// The sync code: the 256-bit sync key as a person reads it off one screen and types it on
// another. 52 characters of the key and 4 of a check, in groups of four joined by "-", from
// 32 letters and digits (no I, L, O or U, which are taken as 1, 1, 0 and refused):
//   7K2M-9QXP-....-....  (14 groups)
// The check is 20 bits of the key's CRC-32, so that a mistyped or missing character is refused
// rather than taken for another key.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace syncing {

using SyncKey = std::array<std::uint8_t, 32>;

std::string SyncCodeText(const SyncKey& key);
// The key of a code as typed: letters in either case, spaces and "-" anywhere; nothing for a
// code that is incomplete, too long, or whose check does not hold.
std::optional<SyncKey> ReadSyncCode(std::string_view typed);

}  // namespace syncing
