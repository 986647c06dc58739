// What the end-to-end suites share: a main window that records what the
// procedures report, image files, and pointing the tool at a simulated
// printer.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "boot_loader_model.h"
#include "status_report.h"

namespace velloran::e2e {

using Line = std::pair<std::string, int>;
using Lines = std::vector<Line>;

// Records every status line (with the time it came) and message box.
class RecordingWindow : public UpgradeWindow {
 public:
  RecordingWindow();
  ~RecordingWindow() override;
  void OnUpgradeStatus(std::string *text, int code, const StatusMeaning &) override;
  void ShowMessageBox(const std::string &text, const StatusMeaning &) override;

  Lines lines;
  std::vector<std::chrono::steady_clock::time_point> times;  // one per line
  std::vector<std::string> boxes;
};

// A firmware image file in a temporary folder, removed with the object.
class ImageFile {
 public:
  // size bytes: a scrambled header carrying version 01 02, then data.
  explicit ImageFile(uint32_t size);
  // Exactly these bytes.
  explicit ImageFile(const std::vector<uint8_t> &bytes);
  ~ImageFile();
  const std::string &Path() const { return path_; }
  const std::vector<uint8_t> &Bytes() const { return bytes_; }
  // What the printer must have stored for packet size p: the data behind
  // the header, 8 zero bytes, then zero fill to a whole number of packets.
  std::vector<uint8_t> ExpectedFlash(uint32_t packetSize) const;

 private:
  std::string path_;
  std::vector<uint8_t> bytes_;
};

// A path where no file is.
std::string MissingImagePath();

// A FIFO with no writer in a temporary folder, removed with the object:
// opened for reading the usual way, it waits for ever.
class FifoImage {
 public:
  FifoImage();
  ~FifoImage();
  const std::string &Path() const { return path_; }

 private:
  std::string path_;
};

// The message box that follows the status line of an image that cannot be
// loaded, for the given cause.
std::string ImageLoadFailedBox(const std::string &cause);

// Images that no procedure may load, each with the cause it is refused for:
// a missing file, an empty one, one of 7 bytes and a FIFO without a writer.
class BadImages {
 public:
  struct Case {
    std::string path;
    std::string cause;
  };
  BadImages();
  const std::vector<Case> &Cases() const { return cases_; }

 private:
  ImageFile empty_;
  ImageFile sevenBytes_;
  FifoImage fifo_;
  std::vector<Case> cases_;
};

// Sets an environment variable for the rest of the test program.
void SetEnvironment(const std::string &name, const std::string &value);

// The four lines of the packet phase for packets 1 … count with full packets
// of which the last may be short (value 100).
Lines PacketLines(uint32_t full, bool shortPacket);

// The lines of the three erase steps on USB and serial.
Lines EraseLines();

// Faults of the simulated printer's replies.
ReplyFault NoReply();
ReplyFault BadChecksum();
ReplyFault WithStatus(uint8_t status);
ReplyFault InPieces(size_t splitAt, std::chrono::milliseconds gap);

// Waits until the printer has taken the finish frame, or 3 s passed.
template <class Printer>
bool WaitForFinish(const Printer &printer) {
  for (int i = 0; i < 300 && !printer.Finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return printer.Finished();
}

// Milliseconds between two recorded lines.
long long MsBetween(const RecordingWindow &window, size_t from, size_t to);

}  // namespace velloran::e2e
