#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/test_support.h"

namespace tolvarine::platform {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteFile;

void FillFolder(const fs::path& folder) {
  fs::create_directories(folder);
  for (int i = 0; i < 200; ++i) WriteFile((folder / ("f" + std::to_string(i))).string(), "x");
}

// While the tree is removed, another thread keeps swapping one of its folders for a link to a
// folder outside it, with files of the same names: not one of those may go.
TEST(RemoveTreeTest, FolderSwappedForALinkMeanwhileNeverLeadsOutside) {
  if (testing_support::IsWindowsBuild()) GTEST_SKIP() << "links need privileges on Windows";
  TempDir dir;
  const fs::path outside = dir.path() / "outside";
  FillFolder(outside);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (int round = 0; round < 200 && std::chrono::steady_clock::now() < deadline; ++round) {
    const fs::path tree = dir.path() / ("tree" + std::to_string(round));
    FillFolder(tree / "inner");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
      std::error_code error;
      while (!stop) {
        fs::rename(tree / "inner", tree / "aside", error);
        fs::create_directory_symlink(outside, tree / "inner", error);
        std::this_thread::yield();
        fs::remove(tree / "inner", error);  // the link only
        fs::rename(tree / "aside", tree / "inner", error);
      }
    });
    RemoveTree(tree.string());
    stop = true;
    swapper.join();
    std::error_code error;
    ASSERT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 200)
        << "round " << round;
    fs::remove(tree / "inner", error);
  }
}

}  // namespace
}  // namespace tolvarine::platform
