#include "exchange.h"

#include <cstring>

uint8_t g_TxFrame[12];
int g_nTxLen;
uint8_t g_RxFrame[12];
int g_nRxLen;
int g_bRxReady;
uint8_t g_PacketData[1024];
int g_nPacketLen;
uint32_t g_nPacketSize;
uint8_t g_VersionBytes[2];
std::atomic<int> g_bUpgrading{0};

void ResetExchange() {
  g_bRxReady = 0;
  std::memset(g_TxFrame, 0, sizeof g_TxFrame);
  std::memset(g_RxFrame, 0, sizeof g_RxFrame);
  std::memset(g_PacketData, 0, sizeof g_PacketData);
  g_nPacketLen = 0;
  g_nRxLen = 0;
  g_nTxLen = 0;
  std::memset(g_VersionBytes, 0, sizeof g_VersionBytes);
}
