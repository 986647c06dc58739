#include "image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "exchange.h"
#include "frame.h"
#include "regular_file.h"
#include "upgrade_texts.h"

namespace {

using velloran::ImageLoadResult;
using velloran::platform::RegularFileOutcome;

// The status line of each failure and the cause that a front end shows beside
// it. Causes without a line of their own share the nearest one.
struct LoadFailure {
  velloran::StatusId line;
  const char *cause;
};
constexpr LoadFailure kMissing = {velloran::StatusId::kImageMissing, "no such file"};
constexpr LoadFailure kUnreadable = {velloran::StatusId::kImageUnreadable, "cannot be opened for reading"};
constexpr LoadFailure kNotRegular = {velloran::StatusId::kImageUnreadable, "not a regular file"};
constexpr LoadFailure kEmpty = {velloran::StatusId::kImageEmpty, "the file is empty"};
constexpr LoadFailure kTooShort = {velloran::StatusId::kImageTooShort,
                                   "shorter than the 8-byte header"};
constexpr LoadFailure kShortRead = {velloran::StatusId::kImageShortRead, "fewer bytes read than its size"};
constexpr LoadFailure kChanged = {velloran::StatusId::kImageShortRead, "the file changed while being read"};
constexpr LoadFailure kTooLarge = {velloran::StatusId::kImageTooLarge, "larger than 4 GiB"};
constexpr LoadFailure kNoMemory = {velloran::StatusId::kImageNoMemory, "not enough memory"};

// Closes the file on every way out.
struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};

ImageLoadResult Failure(const LoadFailure &failure) { return {velloran::LoadedImage{}, failure.line, failure.cause}; }

}  // namespace

ImageLoadResult LoadImageFile(const std::string &path) {
  if (path.empty()) {
    return Failure(kMissing);
  }
  const velloran::platform::RegularFile opened = velloran::platform::OpenRegularFileForReading(path);
  switch (opened.outcome) {
    case RegularFileOutcome::kOpened: break;
    case RegularFileOutcome::kMissing: return Failure(kMissing);
    case RegularFileOutcome::kUnreadable: return Failure(kUnreadable);
    case RegularFileOutcome::kNotRegular: return Failure(kNotRegular);
  }
  std::unique_ptr<std::FILE, FileCloser> file(opened.file);
  const uint64_t size = opened.size;
  if (size == 0) {
    return Failure(kEmpty);
  }
  if (size > std::numeric_limits<uint32_t>::max() || size >= std::numeric_limits<size_t>::max()) {
    return Failure(kTooLarge);
  }
  if (size < velloran::kImageHeaderSize) {
    return Failure(kTooShort);
  }
  velloran::LoadedImage image;
  image.buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size) + 1]);
  if (!image.buffer) {
    return Failure(kNoMemory);
  }
  image.size = static_cast<uint32_t>(size);
  if (std::fread(image.buffer.get(), 1, image.size, file.get()) != image.size) {
    return Failure(kShortRead);
  }
  // Bytes beyond the size it had when it was opened: the file grew while it
  // was read, and what was read is no whole image.
  if (std::fgetc(file.get()) != EOF) {
    return Failure(kChanged);
  }
  image.buffer[image.size] = 0;
  ImageLoadResult result;
  result.image = std::move(image);
  return result;
}

namespace velloran {

ImageHeader DescrambleImageHeader(const LoadedImage &image) {
  ImageHeader header;
  for (uint32_t i = 0; i < kImageHeaderSize; ++i) {
    header.bytes[i] = static_cast<uint8_t>(image.buffer[i] ^ kImageKey[i]);
  }
  g_VersionBytes[0] = header.bytes[0];
  g_VersionBytes[1] = header.bytes[1];
  return header;
}

uint32_t FullPacketCount(uint32_t fileSize, uint32_t packetSize) {
  return packetSize == 0 ? 0 : fileSize / packetSize;
}

uint32_t RemainderLength(uint32_t fileSize, uint32_t packetSize) {
  return packetSize == 0 ? 0 : fileSize % packetSize;
}

uint32_t PacketCount(uint32_t fileSize, uint32_t packetSize) {
  return FullPacketCount(fileSize, packetSize) + (RemainderLength(fileSize, packetSize) > 0 ? 1 : 0);
}

uint8_t PacketStreamByte(const LoadedImage &image, uint32_t position) {
  // Widened: position + 8 must not wrap for positions near 4 GiB.
  const uint64_t fileOffset = uint64_t{position} + kImageHeaderSize;
  return fileOffset < image.size ? image.buffer[fileOffset] : 0;
}

bool CutPacket(const LoadedImage &image, uint32_t index, uint32_t packetSize) {
  if (PacketSizeRefusal(packetSize) || index >= PacketCount(image.size, packetSize)) {
    return false;
  }
  const uint64_t start = uint64_t{index} * packetSize;
  // Stream bytes that come from the file; the rest of the packet is zeros.
  const uint64_t dataLength = image.size > kImageHeaderSize ? image.size - kImageHeaderSize : 0;
  const uint64_t fromFile = start < dataLength ? std::min<uint64_t>(packetSize, dataLength - start) : 0;
  std::memset(g_PacketData, 0, packetSize);
  if (fromFile > 0) {
    std::memcpy(g_PacketData, image.data() + start, static_cast<size_t>(fromFile));
  }
  g_nPacketLen = static_cast<int>(packetSize);
  return true;
}

}  // namespace velloran
