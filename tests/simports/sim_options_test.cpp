// The command line of velloran-sim: what each option sets, and the clear
// refusals of what makes no sense.
#include <gtest/gtest.h>

#include "frame.h"
#include "host_port.h"
#include "sim_options.h"

namespace velloran::sim {
namespace {

std::optional<SimOptions> Parse(std::vector<std::string> args, std::string *error) {
  return ParseSimOptions(args, error);
}

TEST(SimOptions, ReadsEachLinksOptions) {
  std::string error;
  auto serial = Parse({"serial", "--baud", "19200", "--wire-time", "--baud-after-boot", "9600", "--com-name", "COM12",
                       "--image-out", "out.bin", "--exit-after-finish"},
                      &error);
  ASSERT_TRUE(serial) << error;
  EXPECT_EQ(serial->link, SimLink::kSerial);
  EXPECT_EQ(serial->baud, 19200u);
  EXPECT_TRUE(serial->wireTime);
  EXPECT_EQ(serial->baudAfterBoot, 9600u);
  EXPECT_EQ(serial->comName, "COM12");
  EXPECT_EQ(serial->imageOut, "out.bin");
  EXPECT_TRUE(serial->exitAfterFinish);

  // Numbers are decimal, leading zeros included; a repeated option's last value counts.
  auto usb = Parse({"usb", "--vendor", "1FC9", "--product", "00ab", "--minor", "2", "--minor", "010"}, &error);
  ASSERT_TRUE(usb) << error;
  EXPECT_EQ(usb->vendorId, 0x1FC9);
  EXPECT_EQ(usb->productId, 0x00AB);
  EXPECT_EQ(usb->minor, 10u);

  auto lpt = Parse({"lpt", "--stall-after-bytes", "0", "--stall-after-packets", "3"}, &error);
  ASSERT_TRUE(lpt) << error;
  EXPECT_EQ(lpt->stallAfterBytes, 0u);
  EXPECT_EQ(lpt->stallAfterPackets, 3u);

  auto help = Parse({"--help"}, &error);
  ASSERT_TRUE(help);
  EXPECT_EQ(help->helpOrVersion.rfind("Usage: velloran-sim", 0), 0u);
}

TEST(SimOptions, VersionAloneIsTheProgramsAndAfterThePortThePrintersBytes) {
  std::string error;
  auto program = Parse({"--version"}, &error);
  ASSERT_TRUE(program) << error;
  EXPECT_EQ(program->helpOrVersion.rfind("velloran-sim ", 0), 0u);

  auto printer = Parse({"serial", "--version", "0102"}, &error);
  ASSERT_TRUE(printer) << error;
  EXPECT_EQ(printer->helpOrVersion, "");
  ASSERT_TRUE(printer->model.expectedVersion);
  EXPECT_EQ((*printer->model.expectedVersion)[0], 0x01);
  EXPECT_EQ((*printer->model.expectedVersion)[1], 0x02);
}

TEST(SimOptions, RefusesWhatMakesNoSenseNamingTheOption) {
  // Each command line and what its refusal names.
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{}, "LINK"},
      {{"modem"}, "modem"},
      {{"serial", "--baud"}, "--baud"},
      {{"serial", "--baud", "12345"}, "--baud"},
      {{"serial", "--baud", "fast"}, "--baud"},
      {{"serial", "--baud", "0x2580"}, "--baud"},
      {{"serial", "--baud", "fast", "--baud", "9600"}, "--baud"},
      {{"usb", "--baud", "9600"}, "--baud"},
      {{"serial", "--vendor", "067b"}, "--vendor"},
      {{"lpt", "--wire-time"}, "--wire-time"},
      {{"serial", "--stall-after-bytes", "3"}, "--stall-after-bytes"},
      {{"lpt", "--stall-after-bytes", "-1"}, "--stall-after-bytes"},
      {{"usb", "--vendor", "12345"}, "--vendor"},
      {{"usb", "--minor", "-1"}, "--minor"},
      {{"usb", "--minor", "256"}, "--minor"},
      {{"usb", "--port-path", "1/2"}, "--port-path"},
      {{"usb", "--reenumerate", "5"}, "--reenumerate"},
      {{"serial", "--com-name", "LPT1"}, "--com-name"},
      {{"serial", "--version", "12"}, "--version"},
      {{"serial", "--packet-size", "257"}, "--packet-size"},
      {{"serial", "--fail", "version:status=7"}, "--fail"},
      {{"serial", "--fail", "cmd=reboot:status=7"}, "--fail"},
      {{"serial", "--fail", "step=0:no-reply"}, "--fail"},
      {{"serial", "--fail", "packet=2:explode"}, "--fail"},
      {{"serial", "--fail", "packet=2:split=5+3"}, "--fail"},
      {{"serial", "--fail", "packet=2:no-reply,"}, "--fail"},
      {{"serial", "--bogus"}, "--bogus"},
  };
  for (const auto &[args, named] : bad) {
    std::string error;
    EXPECT_FALSE(Parse(args, &error)) << ::testing::PrintToString(args);
    EXPECT_NE(error.find(named), std::string::npos) << ::testing::PrintToString(args) << ": " << error;
  }
}

TEST(SimOptions, PacketSizeBecomesTheBootReplysBytes) {
  EXPECT_EQ(PacketSizeBytes(512), (std::pair<uint8_t, uint8_t>{2, 0}));
  EXPECT_EQ(PacketSizeBytes(256), (std::pair<uint8_t, uint8_t>{1, 0}));
  EXPECT_EQ(PacketSizeBytes(0), (std::pair<uint8_t, uint8_t>{0, 0}));
  EXPECT_FALSE(PacketSizeBytes(257));
  for (uint32_t size : {1u, 3u, 100u, 128u, 1024u, 65536u, 0x80000000u}) {
    const auto bytes = PacketSizeBytes(size);
    ASSERT_TRUE(bytes) << size;
    BootLoaderModel model;
    model.SetPacketSize(bytes->first, bytes->second);
    EXPECT_EQ(model.AnnouncedPacketSize(), size);
  }
}

TEST(SimOptions, FaultsReachTheModel) {
  std::string error;
  auto options = Parse({"usb", "--version", "0102", "--packet-size", "128", "--fail", "cmd=boot:split=4+8,gap=20",
                        "--fail", "cmd=erase:status=3", "--fail", "step=1:bad-crc,delay=5", "--fail",
                        "packet=1:no-reply", "--stall-after-packets", "4"},
                       &error);
  ASSERT_TRUE(options) << error;
  ASSERT_EQ(options->faults.size(), 4u);
  EXPECT_EQ(options->faults[0].scope, FaultSpec::Scope::kCommand);
  EXPECT_EQ(options->faults[0].number, CMD_ENTER_BOOT);
  EXPECT_EQ(options->faults[0].fault.splitPoints, (std::vector<size_t>{4, 8}));
  EXPECT_EQ(options->faults[0].fault.pieceGap, std::chrono::milliseconds(20));
  EXPECT_EQ(options->faults[2].fault.delay, std::chrono::milliseconds(5));

  BootLoaderModel model(options->model);
  ApplyFaults(*options, model);
  EXPECT_EQ(model.AnnouncedPacketSize(), 128u);
  // Step 1 (the boot switch): its step fault wins over the command's.
  auto replies = model.Feed(test::Frame(CMD_ENTER_BOOT));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_FALSE(ReplyChecksumOk(replies[0].bytes.data(), 12));
  EXPECT_EQ(replies[0].delay, std::chrono::milliseconds(5));
  replies = model.Feed(test::Frame(CMD_ENTER_BOOT));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].splitPoints, (std::vector<size_t>{4, 8}));
  EXPECT_TRUE(ReplyChecksumOk(replies[0].bytes.data(), 12));
  replies = model.Feed(test::Frame(CMD_VERSION, {0x01, 0x03}));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].bytes[4], ST_VERSION_MISMATCH);
  replies = model.Feed(test::Frame(CMD_ERASE));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].bytes[4], ST_FLASH_ERROR);
}

TEST(SimOptions, NamesCommands) {
  EXPECT_EQ(CommandName(CMD_ENTER_BOOT), "ENTER_BOOT");
  EXPECT_EQ(CommandName(0x42), "CMD_0x42");
}

}  // namespace
}  // namespace velloran::sim
