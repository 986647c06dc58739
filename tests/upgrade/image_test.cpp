// Loading firmware image files, descrambling their header and cutting the
// packet stream into packets.
#include "image.h"
#include "status_meaning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "exchange.h"
#include "frame.h"

using namespace velloran;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// A folder of its own for each test, removed afterwards.
class FirmwareImage : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised names
    dir_ = fs::temp_directory_path() /
           ("velloran-image-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
            "-" + name);
    fs::create_directories(dir_);
    ResetExchange();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string &name, const Bytes &content) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(content.data()), static_cast<std::streamsize>(content.size()));
    return path.string();
  }

  LoadedImage Load(const Bytes &content) {
    ImageLoadResult result = LoadImageFile(Write("image.upd", content));
    EXPECT_TRUE(result.ok()) << result.cause;
    return std::move(result.image);
  }

  fs::path dir_;
};

// File bytes that tell their own offset apart.
Bytes Numbered(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + i / 256) & 0xFF);
  return bytes;
}

Bytes Packet(const LoadedImage &image, uint32_t index, uint32_t packetSize) {
  std::memset(g_PacketData, 0xCC, sizeof g_PacketData);  // no reset before: fill must still be zero
  g_nPacketLen = 0;
  EXPECT_TRUE(CutPacket(image, index, packetSize)) << "packet " << index;
  EXPECT_EQ(g_nPacketLen, static_cast<int>(packetSize));
  return Bytes(g_PacketData, g_PacketData + packetSize);
}

Bytes Concat(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(FirmwareImage, LoadsTheWholeFileWithAZeroBehind) {
  const Bytes content = Numbered(1000);
  const LoadedImage image = Load(content);
  ASSERT_EQ(image.size, 1000u);
  EXPECT_EQ(Bytes(image.buffer.get(), image.buffer.get() + 1000), content);
  EXPECT_EQ(image.buffer[1000], 0);
  EXPECT_EQ(image.data(), image.buffer.get() + 8);
}

TEST_F(FirmwareImage, HeaderOnlyFileLoads) {
  EXPECT_EQ(Load(Numbered(8)).size, 8u);
}

TEST_F(FirmwareImage, BadFilesGiveAClearErrorAndNoImage) {
  struct Case {
    std::string path;
    std::string what;
  };
  const Case cases[] = {
      {(dir_ / "missing.upd").string(), "不存在"},
      {dir_.string(), "无法打开"},  // a folder opens on Linux but does not read
      {Write("empty.upd", {}), "为空"},
      {Write("seven.upd", Numbered(7)), "8字节"},
      {"", "不存在"},
  };
  for (const Case &c : cases) {
    const ImageLoadResult result = LoadImageFile(c.path);
    ASSERT_FALSE(result.ok()) << c.path;
    EXPECT_NE(StatusText(*result.error).find(c.what), std::string::npos) << c.path << ": " << result.cause;
    EXPECT_NE(StatusText(*result.error).find("！退出！"), std::string::npos) << result.cause;
    EXPECT_EQ(result.image.buffer, nullptr);
  }
}

TEST_F(FirmwareImage, FileLargerThanA32BitCountIsRefused) {
  const fs::path path = dir_ / "huge.upd";
  Write("huge.upd", Numbered(8));
  fs::resize_file(path, (uint64_t{1} << 32) + 8);  // sparse: costs no disk space
  const ImageLoadResult result = LoadImageFile(path.string());
  ASSERT_FALSE(result.ok());
  EXPECT_NE(StatusText(*result.error).find("过大"), std::string::npos) << result.cause;
}

TEST_F(FirmwareImage, ShortReadIsRefused) {
  // Attribute files announce 4096 bytes and deliver far fewer.
  const char *path = "/sys/class/net/lo/address";
  if (!fs::exists(path) || fs::file_size(path) < 64) GTEST_SKIP() << "no sysfs attribute to read short";
  const ImageLoadResult result = LoadImageFile(path);
  ASSERT_FALSE(result.ok());
  EXPECT_NE(StatusText(*result.error).find("读取不完整"), std::string::npos) << result.cause;
}

TEST_F(FirmwareImage, DescramblingXorsTheKeyAndLeavesByteSevenAlone) {
  const uint8_t key[8] = {'P', 'e', 'm', 't', 'r', 'o', 'x', 0};
  const Bytes plain = {0x04, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  Bytes file(16, 0xAB);
  for (int i = 0; i < 8; ++i) file[i] = plain[i] ^ key[i];
  const LoadedImage image = Load(file);
  const ImageHeader header = DescrambleImageHeader(image);
  EXPECT_EQ(Bytes(header.bytes, header.bytes + 8), plain);
  EXPECT_EQ(header.bytes[7], file[7]);
  EXPECT_EQ(g_VersionBytes[0], 0x04);
  EXPECT_EQ(g_VersionBytes[1], 0x00);
  EXPECT_EQ(Bytes(image.buffer.get(), image.buffer.get() + 16), file) << "the buffer stays scrambled";
}

TEST_F(FirmwareImage, File1000BytesWithPacketSize512) {
  const Bytes file = Numbered(1000);
  const LoadedImage image = Load(file);
  EXPECT_EQ(FullPacketCount(1000, 512), 1u);
  EXPECT_EQ(RemainderLength(1000, 512), 488u);
  ASSERT_EQ(PacketCount(1000, 512), 2u);
  EXPECT_EQ(Packet(image, 0, 512), Bytes(file.begin() + 8, file.begin() + 520));
  const Bytes second = Packet(image, 1, 512);
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 480), Bytes(file.begin() + 520, file.end()));
  EXPECT_EQ(Bytes(second.begin() + 480, second.end()), Bytes(32, 0)) << "8 stream zeros and 24 fill";
  EXPECT_FALSE(CutPacket(image, 2, 512));
}

// The packets of every shape of file, for two packet sizes, against the
// stream written out by hand: the image data, 8 zeros, zero fill.
class PacketShapes : public FirmwareImage, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(PacketShapes, EveryPacketHoldsItsStreamBytesAndZeroFill) {
  const uint32_t p = GetParam();
  const uint32_t k = 3;
  struct Shape {
    uint32_t size;
    uint32_t packets;
  };
  const Shape shapes[] = {
      {1000, 1000 / p + (1000 % p ? 1 : 0)},
      {k * p + 8, k + 1},  // data fills k packets exactly; one packet of zeros follows
      {k * p, k},          // the last packet ends with the 8 stream zeros
      {8, 1},              // header only: one packet of zeros
  };
  for (const Shape &shape : shapes) {
    SCOPED_TRACE("file size " + std::to_string(shape.size));
    const Bytes file = Numbered(shape.size);
    const LoadedImage image = Load(file);
    ASSERT_EQ(PacketCount(shape.size, p), shape.packets);
    Bytes stream = Concat(Bytes(file.begin() + 8, file.end()), Bytes(8, 0));
    stream.resize(size_t{shape.packets} * p, 0);
    Bytes sent;
    for (uint32_t i = 0; i < shape.packets; ++i) sent = Concat(sent, Packet(image, i, p));
    EXPECT_EQ(sent, stream);
    for (uint32_t position = 0; position < shape.size; ++position) {
      ASSERT_EQ(PacketStreamByte(image, position), stream[position]) << position;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ImagePacketSizes, PacketShapes, ::testing::Values(512u, 256u, 128u));

TEST_F(FirmwareImage, CuttingRefusesUnsendablePacketSizes) {
  const LoadedImage image = Load(Numbered(100));
  std::memset(g_PacketData, 0x5A, sizeof g_PacketData);
  g_nPacketLen = 7;
  EXPECT_FALSE(CutPacket(image, 0, 0));
  EXPECT_FALSE(CutPacket(image, 0, 513));
  EXPECT_EQ(g_nPacketLen, 7);
  EXPECT_EQ(g_PacketData[0], 0x5A);
  EXPECT_EQ(PacketCount(100, 0), 0u);
}

}  // namespace
