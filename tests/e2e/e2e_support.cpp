// Recording window, image files and environment for the end-to-end suites.
#include "e2e_support.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/stat.h>

#include "image.h"
#include "upgrade_steps.h"
#include "upgrade_texts.h"

namespace velloran::e2e {

RecordingWindow::RecordingWindow() { SetUpgradeWindow(this); }
RecordingWindow::~RecordingWindow() { SetUpgradeWindow(nullptr); }

void RecordingWindow::OnUpgradeStatus(std::string *text, int code, const StatusMeaning &) {
  std::unique_ptr<std::string> owned(text);
  lines.emplace_back(*owned, code);
  times.push_back(std::chrono::steady_clock::now());
}

void RecordingWindow::ShowMessageBox(const std::string &text, const StatusMeaning &) { boxes.push_back(text); }

namespace {

std::string TemporaryPath(const std::string &stem) {
  static std::mt19937 random{std::random_device{}()};
  return (std::filesystem::temp_directory_path() /
          (stem + "-" + std::to_string(random()) + ".upd"))
      .string();
}

}  // namespace

ImageFile::ImageFile(uint32_t size) : path_(TemporaryPath("velloran-e2e")) {
  bytes_.resize(size);
  const uint8_t header[8] = {0x01, 0x02, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  for (uint32_t i = 0; i < size; ++i) {
    bytes_[i] = i < 8 ? static_cast<uint8_t>(header[i] ^ kImageKey[i]) : static_cast<uint8_t>(i * 13 + 5);
  }
  std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char *>(bytes_.data()),
                                                static_cast<std::streamsize>(bytes_.size()));
}

ImageFile::ImageFile(const std::vector<uint8_t> &bytes) : path_(TemporaryPath("velloran-e2e")), bytes_(bytes) {
  std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char *>(bytes_.data()),
                                                static_cast<std::streamsize>(bytes_.size()));
}

ImageFile::~ImageFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::vector<uint8_t> ImageFile::ExpectedFlash(uint32_t packetSize) const {
  std::vector<uint8_t> flash(bytes_.begin() + 8, bytes_.end());
  flash.resize(bytes_.size(), 0);
  const size_t packets = (bytes_.size() + packetSize - 1) / packetSize;
  flash.resize(packets * packetSize, 0);
  return flash;
}

std::string MissingImagePath() { return TemporaryPath("velloran-missing"); }

FifoImage::FifoImage() : path_(TemporaryPath("velloran-fifo")) {
  if (::mkfifo(path_.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo " << path_;
}

FifoImage::~FifoImage() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::string ImageLoadFailedBox(const std::string &cause) {
  return StatusText({StatusId::kBoxImageLoadFailed, std::nullopt, cause});
}

BadImages::BadImages()
    : empty_(std::vector<uint8_t>{}),
      sevenBytes_(std::vector<uint8_t>(7, 0x41)),
      cases_{{MissingImagePath(), "no such file"},
             {empty_.Path(), "the file is empty"},
             {sevenBytes_.Path(), "shorter than the 8-byte header"},
             {fifo_.Path(), "not a regular file"}} {}

void SetEnvironment(const std::string &name, const std::string &value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

Lines PacketLines(uint32_t full, bool shortPacket) {
  Lines lines;
  for (uint32_t i = 0; i < full; ++i) lines.emplace_back(PacketSentLine(i + 1), PacketProgress(i, full));
  if (shortPacket) lines.emplace_back(PacketSentLine(full + 1), 100);
  return lines;
}

Lines EraseLines() {
  return {{text::kEraseStart, 220}, {text::kEraseDots, 240}, {text::kEraseDone, 300}};
}

ReplyFault NoReply() {
  ReplyFault fault;
  fault.noReply = true;
  return fault;
}

ReplyFault BadChecksum() {
  ReplyFault fault;
  fault.corruptChecksum = true;
  return fault;
}

ReplyFault WithStatus(uint8_t status) {
  ReplyFault fault;
  fault.status = status;
  return fault;
}

ReplyFault InPieces(size_t splitAt, std::chrono::milliseconds gap) {
  ReplyFault fault;
  fault.splitPoints = {splitAt};
  fault.pieceGap = gap;
  return fault;
}

long long MsBetween(const RecordingWindow &window, size_t from, size_t to) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(window.times.at(to) - window.times.at(from))
      .count();
}

}  // namespace velloran::e2e
