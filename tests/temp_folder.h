// A fresh folder under the system's temporary folder for one test's files.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace testing_support {

inline std::string MakeTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "cm-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  return pattern;
}

}  // namespace testing_support
