// The firmware image file: an 8-byte header stored XORed with a fixed key,
// then the flash content stored plain. Its first two descrambled bytes are
// the version bytes that the printer checks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "upgrade_texts.h"

namespace velloran {

// The text "Pemtrox" with its terminating zero byte.
inline constexpr uint8_t kImageKey[8] = {'P', 'e', 'm', 't', 'r', 'o', 'x', 0};
inline constexpr uint32_t kImageHeaderSize = 8;

// A whole image file in memory: the file's bytes and one zero byte behind.
struct LoadedImage {
  std::unique_ptr<uint8_t[]> buffer;  // size + 1 bytes
  uint32_t size = 0;                  // the file size, header included
  // The image data behind the header.
  const uint8_t *data() const { return buffer.get() + kImageHeaderSize; }
};

// The image, or why it could not be loaded.
struct ImageLoadResult {
  LoadedImage image;
  std::optional<StatusId> error;  // on failure: the status line that says it
  std::string cause;              // on failure: the cause in a few English words
  bool ok() const { return !error; }
};

}  // namespace velloran

// The 8 header bytes after descrambling; bytes 0 and 1 are the version bytes.
struct ImageHeader {
  uint8_t bytes[8] = {};
};

// Reads the whole file. Fails with a status line and its cause for a missing
// or unreadable file, anything but a regular file (opened without waiting:
// a FIFO without a writer does not hang), an empty one, one shorter than the
// header, a short read, a file that grew while it was read, or a size that
// does not fit 32 bits.
velloran::ImageLoadResult LoadImageFile(const std::string &path);

namespace velloran {

// Descrambles the header of a loaded image (the buffer stays unchanged) and
// copies its bytes 0 and 1 into g_VersionBytes.
ImageHeader DescrambleImageHeader(const LoadedImage &image);

// The packet stream is the image data followed by 8 zero bytes, as long as
// the file. It is cut into packets of packetSize bytes; the last, short one
// is zero-filled to the full size.
uint32_t FullPacketCount(uint32_t fileSize, uint32_t packetSize);
uint32_t RemainderLength(uint32_t fileSize, uint32_t packetSize);  // 0: no short packet
uint32_t PacketCount(uint32_t fileSize, uint32_t packetSize);      // full and short ones

// Byte at a position of the packet stream.
uint8_t PacketStreamByte(const LoadedImage &image, uint32_t position);

// Puts packet index (counted from 0; status lines number it index + 1) into
// g_PacketData, zero-filled behind its stream bytes, and sets g_nPacketLen to
// packetSize. Returns false, changing nothing, when packetSize is 0 or above
// 512 or the image has no such packet.
bool CutPacket(const LoadedImage &image, uint32_t index, uint32_t packetSize);

}  // namespace velloran
