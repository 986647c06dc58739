// The process-wide state through which an upgrade procedure builds a frame,
// hands it to its link and receives the reply. Only the one running
// procedure's worker thread uses it, so it needs no lock; the busy flag alone
// is also read by the dialog thread and is therefore atomic.
#pragma once

#include <atomic>
#include <cstdint>

// The control frame to send; for a data frame its first five bytes supply the
// head (1E 12 55 00 03).
extern uint8_t g_TxFrame[12];
// Number of bytes of g_TxFrame to send (9 or 11).
extern int g_nTxLen;
// The reply, from offset 0.
extern uint8_t g_RxFrame[12];
// Reply length to wait for (9, 11 or 12).
extern int g_nRxLen;
// 1 once g_nRxLen reply bytes stand in g_RxFrame.
extern int g_bRxReady;
// Payload of the next data frame.
extern uint8_t g_PacketData[1024];
// Payload length of the next data frame; its low 16 bits become the length
// field.
extern int g_nPacketLen;
// Packet size P announced by the boot loader (or fixed by the procedure).
extern uint32_t g_nPacketSize;
// Payload of the version frame, taken from the image header.
extern uint8_t g_VersionBytes[2];
// 1 while an upgrade procedure runs.
extern std::atomic<int> g_bUpgrading;

// Zeroes the frames, the packet, the lengths, the reply flag and the version
// bytes. Leaves g_nPacketSize and g_bUpgrading alone.
void ResetExchange();
