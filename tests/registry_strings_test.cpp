// Reading and writing the program's registry values as text.
#include "app/registry_strings.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_registry.h"

namespace registry_strings_test {

namespace {

using namespace platform;

TEST(RegistryStrings, ReadTheWholeValueWhateverItsTerminator) {
  sim::SimRegistry registry;
  registry.Set("Software\\T", "empty", RegSz, "");
  registry.Set("Software\\T", "bare", RegSz, std::string("a\0b\0c\0", 6));
  registry.Set("Software\\T", "nul", RegSz, std::string("a\0b\0c\0\0\0", 8));
  registry.Set("Software\\T", "odd", RegSz, std::string("a\0b\0c", 5));  // a last byte without its pair
  registry.SetString("Software\\T", "wide", "\"C:\\Łódź 日本\\a.exe\"");
  registry.Set("Software\\T", "dword", RegDword, std::string(4, '\1'));
  auto read = [&](const char* name) {
    std::string text = "unchanged";
    app::ReadRegistryString(registry, HkeyCurrentUser, "Software\\T", name, text);
    return text;
  };
  EXPECT_EQ(read("empty"), "");
  EXPECT_EQ(read("bare"), "abc");
  EXPECT_EQ(read("nul"), "abc");
  EXPECT_EQ(read("odd"), "ab");
  EXPECT_EQ(read("wide"), "\"C:\\Łódź 日本\\a.exe\"");
  EXPECT_EQ(read("dword"), "unchanged");
  EXPECT_EQ(read("missing"), "unchanged");
  EXPECT_EQ(registry.OpenHandles(), 0);
  EXPECT_TRUE(app::WriteRegistryString(registry, HkeyCurrentUser, "Software\\New\\Key", "v", "x"));
  EXPECT_EQ(registry.Get("Software\\New\\Key", "v")->data, std::string("x\0\0\0", 4));  // UTF-16 and its zero
}

}  // namespace
}  // namespace registry_strings_test
