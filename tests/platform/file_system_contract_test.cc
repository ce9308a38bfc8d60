// The file-system contract, run against the platform's folders and the in-memory fake.
#include <gtest/gtest.h>

#include <memory>

#include "common/text.h"
#include "tests/platform/native_adapters.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/temp_folder.h"

namespace {

class FileSystemContractTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    const std::wstring root = Utf8ToWide(m_temp.Path());
    if (GetParam()) {
      m_files = MakeNativeFileSystem();
    } else {
      m_files = std::make_unique<CInMemoryFileSystem>(L"/home/u/.local/share", L"/tmp/", L'/',
                                                      std::vector<std::wstring>{root});
    }
    m_root = root;
  }

  CTempFolder m_temp;
  std::wstring m_root;
  std::unique_ptr<IFileSystem> m_files;
};

TEST_P(FileSystemContractTest, CreatesOneLevelOnlyOnAnExistingParent) {
  const std::wstring child = m_root + L"/a";
  const std::wstring grandchild = m_root + L"/a/b";
  EXPECT_FALSE(m_files->Exists(child));
  EXPECT_FALSE(m_files->CreateFolder(grandchild));  // parent missing
  EXPECT_TRUE(m_files->CreateFolder(child));
  EXPECT_TRUE(m_files->Exists(child));
  EXPECT_FALSE(m_files->CreateFolder(child));  // exists already
  EXPECT_TRUE(m_files->CreateFolder(grandchild));
  EXPECT_TRUE(m_files->Exists(grandchild + L"/"));
  EXPECT_FALSE(m_files->CreateFolder(L""));
}

TEST_P(FileSystemContractTest, FoldersAreAbsoluteAndTheFallbackEndsWithASeparator) {
  const std::wstring appData = m_files->LocalAppDataFolder();
  ASSERT_FALSE(appData.empty());
  EXPECT_TRUE(GetParam() ? IsAbsoluteNativePath(appData) : appData.front() == L'/');
  const std::wstring fallback = m_files->FallbackFolder();
  ASSERT_FALSE(fallback.empty());
  EXPECT_EQ(fallback.back(), m_files->Separator());
}

std::string FolderName(const ::testing::TestParamInfo<bool>&) {
  return "Folders";
}

INSTANTIATE_TEST_SUITE_P(Native, FileSystemContractTest, ::testing::Values(true), FolderName);
INSTANTIATE_TEST_SUITE_P(InMemory, FileSystemContractTest, ::testing::Values(false), FolderName);

}  // namespace
