// CComPort::BlockBuffer against its block layout rules and against a plain
// byte queue.
#include "com_port.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <random>
#include <vector>

namespace {

using BlockBuffer = CComPort::BlockBuffer;

std::vector<BYTE> Bytes(size_t n, BYTE first = 0) {
  std::vector<BYTE> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<BYTE>(first + i);
  return v;
}

size_t BlockCount(const BlockBuffer &buffer) {
  size_t n = 0;
  for (const BlockBuffer::Block *b = buffer.Head(); b != nullptr; b = b->pNext) ++n;
  return n;
}

TEST(BlockBuffer, StartsEmpty) {
  BlockBuffer buffer;
  EXPECT_EQ(buffer.Size(), 0u);
  EXPECT_EQ(buffer.SafeSize(), 0u);
  EXPECT_EQ(buffer.FreeSpace(), 0u);
  EXPECT_EQ(buffer.FirstBlockLength(), 0u);
  EXPECT_EQ(buffer.FirstBlockData(), nullptr);
  EXPECT_EQ(buffer.GetWritePtr(0), nullptr);
  EXPECT_EQ(buffer.Head(), nullptr);
  EXPECT_EQ(buffer.Tail(), nullptr);
  EXPECT_EQ(buffer.Consume(nullptr, 10), 0u);
  EXPECT_EQ(buffer.Commit(1), 0u);
}

TEST(BlockBuffer, LargeAppendMakesOneExactBlockAndSmallOneAMinimumBlock) {
  BlockBuffer buffer;
  auto first = Bytes(1500);
  ASSERT_EQ(buffer.Append(first.data(), 1500), 1500u);
  ASSERT_EQ(BlockCount(buffer), 1u);
  EXPECT_EQ(buffer.Head()->dwCapacity, 1500u);
  EXPECT_EQ(buffer.FreeSpace(), 0u);

  auto second = Bytes(10, 200);
  ASSERT_EQ(buffer.Append(second.data(), 10), 10u);
  ASSERT_EQ(BlockCount(buffer), 2u);
  EXPECT_EQ(buffer.Tail()->dwCapacity, 1024u);
  EXPECT_EQ(buffer.Size(), 1510u);

  EXPECT_EQ(buffer.Consume(nullptr, 1505), 1505u);
  ASSERT_EQ(BlockCount(buffer), 1u);
  EXPECT_EQ(buffer.Head()->dwCapacity, 1024u);
  EXPECT_EQ(buffer.Size(), 5u);
  ASSERT_EQ(buffer.FirstBlockLength(), 5u);
  EXPECT_EQ(std::vector<BYTE>(buffer.FirstBlockData(), buffer.FirstBlockData() + 5),
            std::vector<BYTE>(second.begin() + 5, second.end()));
}

TEST(BlockBuffer, SpillBlockIsSizedForTheWholeAppend) {
  // 1000 bytes leave 24 free in the first block; the next 2000 bytes fill
  // those and spill into a new block sized for the whole append.
  BlockBuffer buffer;
  auto first = Bytes(1000);
  auto second = Bytes(2000, 7);
  ASSERT_EQ(buffer.Append(first.data(), 1000), 1000u);
  ASSERT_EQ(buffer.Append(second.data(), 2000), 2000u);
  ASSERT_EQ(BlockCount(buffer), 2u);
  EXPECT_EQ(buffer.Head()->dwEnd, 1024u);
  EXPECT_EQ(buffer.Tail()->dwCapacity, 2000u);
  EXPECT_EQ(buffer.Tail()->dwEnd, 1976u);
  EXPECT_EQ(buffer.Size(), 3000u);
  std::vector<BYTE> out(3000);
  ASSERT_EQ(buffer.Consume(out.data(), 3000), 3000u);
  EXPECT_EQ(std::vector<BYTE>(out.begin(), out.begin() + 1000), first);
  EXPECT_EQ(std::vector<BYTE>(out.begin() + 1000, out.end()), second);
}

TEST(BlockBuffer, EmptiedSmallLastBlockIsKeptForReuse) {
  BlockBuffer buffer;
  auto data = Bytes(300);
  buffer.Append(data.data(), 300);
  const BlockBuffer::Block *block = buffer.Head();
  EXPECT_EQ(buffer.Consume(nullptr, 300), 300u);
  ASSERT_EQ(buffer.Head(), block);
  EXPECT_EQ(block->dwBegin, 0u);
  EXPECT_EQ(block->dwEnd, 0u);
  EXPECT_EQ(buffer.Size(), 0u);
  EXPECT_EQ(buffer.FreeSpace(), 1024u);
  EXPECT_EQ(buffer.Consume(nullptr, 10), 0u);  // nothing left, and the walk ends
  // The kept block takes the next bytes: no new allocation.
  buffer.Append(data.data(), 20);
  EXPECT_EQ(buffer.Head(), block);
  EXPECT_EQ(BlockCount(buffer), 1u);
}

TEST(BlockBuffer, EmptiedLastBlockUpTo4096IsKeptLargerOneFreed) {
  {
    BlockBuffer buffer;
    auto data = Bytes(4096);
    buffer.Append(data.data(), 4096);
    buffer.Consume(nullptr, 4096);
    EXPECT_EQ(BlockCount(buffer), 1u);
  }
  {
    BlockBuffer buffer;
    auto data = Bytes(5000);
    buffer.Append(data.data(), 5000);
    EXPECT_EQ(buffer.Consume(nullptr, 6000), 5000u);
    EXPECT_EQ(buffer.Head(), nullptr);
    EXPECT_EQ(buffer.Tail(), nullptr);
    EXPECT_EQ(buffer.FreeSpace(), 0u);
  }
}

TEST(BlockBuffer, GetWritePtrWithExactlyTheFreeSpaceStartsANewBlock) {
  BlockBuffer buffer;
  auto data = Bytes(1000);
  buffer.Append(data.data(), 1000);
  ASSERT_EQ(buffer.FreeSpace(), 24u);
  LPBYTE inTail = buffer.GetWritePtr(23);
  EXPECT_EQ(inTail, buffer.Tail()->Data() + 1000);
  EXPECT_EQ(BlockCount(buffer), 1u);
  EXPECT_EQ(buffer.GetWritePtr(0), inTail);

  LPBYTE fresh = buffer.GetWritePtr(24);
  ASSERT_EQ(BlockCount(buffer), 2u);
  EXPECT_EQ(fresh, buffer.Tail()->Data());
  EXPECT_EQ(buffer.Tail()->dwCapacity, 1024u);
}

TEST(BlockBuffer, CommitAddsWrittenBytesAndRefusesWhatCannotFit) {
  BlockBuffer buffer;
  LPBYTE p = buffer.GetWritePtr(2000);
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 3; ++i) p[i] = static_cast<BYTE>(0xA0 + i);
  EXPECT_EQ(buffer.Commit(3), 3u);
  EXPECT_EQ(buffer.Size(), 3u);
  EXPECT_EQ(buffer.Commit(2001), 0u);  // larger than the block
  EXPECT_EQ(buffer.Commit(1998), 0u);  // fits the capacity, not the room left
  EXPECT_EQ(buffer.Size(), 3u);
  EXPECT_EQ(buffer.Commit(1997), 1997u);
  EXPECT_EQ(buffer.Size(), 2000u);
  BYTE out[3];
  ASSERT_EQ(buffer.Consume(out, 3), 3u);
  EXPECT_EQ(out[0], 0xA0);
  EXPECT_EQ(out[2], 0xA2);
}

TEST(BlockBuffer, UncommittedEmptyBlockIsSkipped) {
  // A reader that got nothing leaves an empty block behind; the bytes after
  // it still come out in order.
  BlockBuffer buffer;
  auto data = Bytes(1024);
  buffer.Append(data.data(), 1024);
  ASSERT_NE(buffer.GetWritePtr(100), nullptr);
  EXPECT_EQ(buffer.Commit(0), 0u);
  buffer.Append(data.data(), 10);
  std::vector<BYTE> out(2000);
  ASSERT_EQ(buffer.Consume(out.data(), 2000), 1034u);
  EXPECT_EQ(out[1024], data[0]);
  EXPECT_EQ(out[1033], data[9]);
  EXPECT_LE(BlockCount(buffer), 1u);
}

TEST(BlockBuffer, MatchesAPlainByteQueueUnderRandomUse) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 20; ++round) {
    BlockBuffer buffer;
    std::deque<BYTE> model;
    BYTE next = 0;
    for (int step = 0; step < 400; ++step) {
      int action = std::uniform_int_distribution<int>(0, 3)(random);
      DWORD n = std::uniform_int_distribution<DWORD>(0, random() % 4 == 0 ? 6000 : 300)(random);
      if (action == 0) {
        std::vector<BYTE> data(n);
        for (BYTE &b : data) b = next++;
        ASSERT_EQ(buffer.Append(data.data(), n), n);
        model.insert(model.end(), data.begin(), data.end());
      } else if (action == 1) {
        // Written in place, as the receive path does; sometimes less than asked.
        LPBYTE p = buffer.GetWritePtr(n);
        DWORD got = n == 0 ? 0 : std::uniform_int_distribution<DWORD>(0, n)(random);
        if (p == nullptr) {
          ASSERT_EQ(got, 0u);
        }
        for (DWORD i = 0; i < got; ++i) p[i] = next++;
        ASSERT_EQ(buffer.Commit(got), got);
        for (DWORD i = 0; i < got; ++i) model.push_back(static_cast<BYTE>(p[i]));
      } else {
        std::vector<BYTE> out(n);
        DWORD taken = buffer.Consume(action == 2 ? out.data() : nullptr, n);
        ASSERT_EQ(taken, std::min<size_t>(n, model.size()));
        for (DWORD i = 0; i < taken; ++i) {
          if (action == 2) {
            ASSERT_EQ(out[i], model.front()) << "step " << step;
          }
          model.pop_front();
        }
      }
      ASSERT_EQ(buffer.Size(), model.size());
      // The invariants of the block list.
      DWORD sum = 0;
      for (const BlockBuffer::Block *b = buffer.Head(); b != nullptr; b = b->pNext) {
        ASSERT_LE(b->dwBegin, b->dwEnd);
        ASSERT_LE(b->dwEnd, b->dwCapacity);
        ASSERT_GE(b->dwCapacity, 1024u);
        sum += b->dwEnd - b->dwBegin;
        if (b->pNext == nullptr) {
          ASSERT_EQ(b, buffer.Tail());
        }
      }
      ASSERT_EQ(sum, model.size());
      ASSERT_EQ(buffer.Head() == nullptr, buffer.Tail() == nullptr);
    }
  }
}

}  // namespace
