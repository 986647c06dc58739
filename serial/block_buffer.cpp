// CComPort::BlockBuffer: a byte queue in a linked list of heap blocks.
#include "com_port.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// An emptied last block up to this many times the minimum size is kept.
constexpr DWORD kRetainFactor = 4;

}  // namespace

CComPort::BlockBuffer::BlockBuffer()
    : pHead_(nullptr), pTail_(nullptr), dwSize_(0), dwMinBlockSize_(1024) {
  InitializeCriticalSection(&cs_);
}

CComPort::BlockBuffer::~BlockBuffer() {
  while (pHead_ != nullptr) {
    Block *next = pHead_->pNext;
    ::operator delete(pHead_);
    pHead_ = next;
  }
  pTail_ = nullptr;
  DeleteCriticalSection(&cs_);
}

CComPort::BlockBuffer::Block *CComPort::BlockBuffer::AddBlock(DWORD n) {
  DWORD capacity = std::max(n, dwMinBlockSize_);
  void *memory = ::operator new(sizeof(Block) + capacity, std::nothrow);
  if (memory == nullptr) return nullptr;
  Block *block = new (memory) Block{0, 0, capacity, nullptr};
  if (pTail_ != nullptr) {
    pTail_->pNext = block;
  } else {
    pHead_ = block;
  }
  pTail_ = block;
  return block;
}

DWORD CComPort::BlockBuffer::FreeSpace() const {
  return pTail_ != nullptr ? pTail_->dwCapacity - pTail_->dwEnd : 0;
}

DWORD CComPort::BlockBuffer::Append(LPCVOID p, DWORD n) {
  const BYTE *source = static_cast<const BYTE *>(p);
  DWORD k = std::min(FreeSpace(), n);
  if (k > 0) {
    std::memcpy(pTail_->Data() + pTail_->dwEnd, source, k);
    pTail_->dwEnd += k;
  }
  DWORD stored = k;
  if (n > k) {
    // The new block is sized for the whole request, not just its rest, so a
    // run of similar appends finds room in the tail.
    if (Block *block = AddBlock(n)) {
      std::memcpy(block->Data(), source + k, n - k);
      block->dwEnd = n - k;
      stored = n;
    }
  }
  dwSize_ += stored;
  return stored;
}

DWORD CComPort::BlockBuffer::Consume(LPVOID dst, DWORD n) {
  BYTE *target = static_cast<BYTE *>(dst);
  DWORD taken = 0;
  // Each round either stops or frees the head block, so the walk ends. An
  // empty block left by a GetWritePtr without Commit is freed on the way.
  while (pHead_ != nullptr) {
    Block *block = pHead_;
    DWORD t = std::min(block->dwEnd - block->dwBegin, n - taken);
    if (target != nullptr && t > 0) std::memcpy(target + taken, block->Data() + block->dwBegin, t);
    block->dwBegin += t;
    taken += t;
    dwSize_ -= t;
    if (block->dwBegin < block->dwEnd) break;  // the request is satisfied
    if (block == pTail_) {
      if (block->dwCapacity <= kRetainFactor * dwMinBlockSize_) {
        block->dwBegin = block->dwEnd = 0;
      } else {
        ::operator delete(block);
        pHead_ = pTail_ = nullptr;
      }
      break;
    }
    pHead_ = block->pNext;
    ::operator delete(block);
  }
  return taken;
}

LPBYTE CComPort::BlockBuffer::GetWritePtr(DWORD n) {
  if (n == 0 || n < FreeSpace()) {
    return pTail_ != nullptr ? pTail_->Data() + pTail_->dwEnd : nullptr;
  }
  Block *block = AddBlock(n);
  return block != nullptr ? block->Data() : nullptr;
}

DWORD CComPort::BlockBuffer::Commit(DWORD n) {
  // Bytes past the tail's capacity were never written there: refuse them
  // instead of counting memory that does not belong to the block.
  if (pTail_ == nullptr || n > pTail_->dwCapacity - pTail_->dwEnd) return 0;
  pTail_->dwEnd += n;
  dwSize_ += n;
  return n;
}

DWORD CComPort::BlockBuffer::SafeSize() {
  Guard guard(*this);
  return Size();
}

DWORD CComPort::BlockBuffer::FirstBlockLength() const {
  return pHead_ != nullptr ? pHead_->dwEnd - pHead_->dwBegin : 0;
}

LPBYTE CComPort::BlockBuffer::FirstBlockData() const {
  return pHead_ != nullptr ? pHead_->Data() + pHead_->dwBegin : nullptr;
}
