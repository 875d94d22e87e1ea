#include "platform/sim/sim_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/sim/sim_codepage.h"
#include "temp_folder.h"

namespace sim_files_test {

namespace {

class SimFilesTest : public ::testing::Test {
 protected:
  SimFilesTest() : root_(testing_support::MakeTempFolder()), files_(root_) {}
  ~SimFilesTest() override { std::filesystem::remove_all(root_); }

  platform::Dword Create(const std::string& path) {
    platform::FileHandle file = 0;
    const platform::Dword error = files_.CreateForWriting(path, file);
    if (error == 0) files_.Close(file);
    return error;
  }

  std::string root_;
  sim::SimFiles files_;
};

TEST_F(SimFilesTest, WindowsPaths_MapBelowTheRoot) {
  EXPECT_EQ(files_.RealPath("C:\\dir\\\\file.txt"), root_ + "/C/dir/file.txt");
  EXPECT_EQ(files_.RealPath("c:/dir/./sub/../file"), root_ + "/C/dir/file");
  EXPECT_EQ(files_.RealPath("D:\\..\\..\\etc\\passwd"), root_ + "/D/etc/passwd");
  EXPECT_THROW(files_.RealPath("relative\\file"), std::invalid_argument);

  std::string bytes;
  EXPECT_EQ(files_.ReadAll("file.txt", bytes), platform::ErrorPathNotFound);
  EXPECT_EQ(files_.ReadAll("C:file.txt", bytes), platform::ErrorPathNotFound);
  EXPECT_EQ(Create("C:\\a?b"), platform::ErrorInvalidName);
  EXPECT_EQ(files_.GetModuleFileNameW(), "C:\\Program Files\\Clipboard manager\\Clipboard_manager.exe");
}

TEST_F(SimFilesTest, Errors_AreTheWindowsCodesOfTheSameSituation) {
  files_.MakeFolder("C:\\Data");
  std::string bytes;
  EXPECT_EQ(files_.ReadAll("C:\\Data\\none", bytes), platform::ErrorFileNotFound);
  EXPECT_EQ(files_.ReadAll("C:\\None\\x", bytes), platform::ErrorPathNotFound);
  EXPECT_EQ(Create("C:\\None\\x"), platform::ErrorPathNotFound);
  EXPECT_EQ(files_.Delete("C:\\Data\\none"), platform::ErrorFileNotFound);
  EXPECT_EQ(Create("C:\\Data"), platform::ErrorAccessDenied);  // a folder

  files_.PutFile("C:\\Data\\f", "x");
  files_.SetReadOnly("C:\\Data\\f", true);
  EXPECT_TRUE(files_.IsReadOnly("C:\\Data\\f"));
  EXPECT_EQ(Create("C:\\Data\\f"), platform::ErrorAccessDenied);
  EXPECT_EQ(files_.Delete("C:\\Data\\f"), platform::ErrorAccessDenied);
  files_.PutFile("C:\\Data\\g", "y");
  EXPECT_EQ(files_.Replace("C:\\Data\\g", "C:\\Data\\f"), platform::ErrorAccessDenied);
  EXPECT_EQ(files_.FileBytes("C:\\Data\\f"), "x");

  files_.DenyAccess("C:\\Data");
  EXPECT_EQ(files_.ReadAll("C:\\Data\\g", bytes), platform::ErrorAccessDenied);
  EXPECT_EQ(files_.Delete("C:\\Data\\g"), platform::ErrorAccessDenied);
  EXPECT_EQ(files_.ErrorText(3), "The system cannot find the path specified.");
  EXPECT_EQ(files_.ErrorText(5), "Access is denied.");
}

}  // namespace
}  // namespace sim_files_test
