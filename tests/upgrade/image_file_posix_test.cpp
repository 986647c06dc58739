// Image paths that name something other than a regular file, and files that
// change while they are read: refused at once, each with its own cause.
#include "image.h"
#include "status_meaning.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ImageFilePosix : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("velloran-image-posix-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ImageFilePosix, FifoWithoutAWriterIsRefusedAtOnce) {
  const std::string fifo = (dir_ / "image.upd").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto loading = std::async(std::launch::async, [&] { return LoadImageFile(fifo); });
  if (loading.wait_for(20s) != std::future_status::ready) {
    // Let the blocked open go on (a writer that closes at once) so that the
    // test can end, then fail.
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
    loading.wait();
    FAIL() << "loading a FIFO without a writer waited for one";
  }
  const velloran::ImageLoadResult result = loading.get();
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.cause, "not a regular file");
  EXPECT_NE(StatusText(*result.error).find("！退出！"), std::string::npos) << result.cause;
}

TEST_F(ImageFilePosix, DevicesAndFoldersAreNoRegularFiles) {
  for (const std::string &path : {std::string("/dev/zero"), std::string("/dev/null"), dir_.string()}) {
    const velloran::ImageLoadResult result = LoadImageFile(path);
    EXPECT_FALSE(result.ok()) << path;
    EXPECT_EQ(result.cause, "not a regular file") << path << ": " << result.cause;
    EXPECT_EQ(result.image.buffer, nullptr);
  }
}

TEST_F(ImageFilePosix, FileThatGrowsWhileItIsReadIsSaidToHaveChanged) {
  const fs::path path = dir_ / "growing.upd";
  {
    std::ofstream out(path, std::ios::binary);
    const std::vector<char> content(8 << 20, 'x');
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  // A writer appends for as long as the loads go on; every load that it
  // overtakes must say so, none may call the file too large.
  std::atomic<bool> stop{false};
  std::atomic<long> appended{0};
  std::thread writer([&] {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    while (!stop) {
      out.write("yyyyyyyy", 8);
      out.flush();
      ++appended;
    }
  });
  while (appended < 10) std::this_thread::yield();
  int changed = 0;
  for (int attempt = 0; attempt < 20 && changed < 3; ++attempt) {
    const velloran::ImageLoadResult result = LoadImageFile(path.string());
    if (result.ok()) continue;  // the writer did not get a turn during this read
    EXPECT_EQ(result.cause, "the file changed while being read") << result.cause;
    ++changed;
  }
  stop = true;
  writer.join();
  EXPECT_GT(changed, 0) << "no load was overtaken by the writer";
}

}  // namespace
