// Which COM ports exist and which of them are free.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace velloran {

enum class ComPortState {
  kAbsent,  // no such port
  kBusy,    // the port exists but another program holds it
  kFree,    // the port could be opened (and was closed again at once)
};

// Tells the state of port n (1 to 255).
using ComPortProber = std::function<ComPortState(unsigned port)>;

// Opens "\\.\COMn" for reading and writing, without sharing, and closes it
// again: it opens when free, access denied means held by someone else, any
// other error means no such port.
ComPortState ProbeComPort(unsigned port);

// Probes COM1 to COM255 in ascending order and fills the lists (emptied
// first): present holds the free and the held ports.
void ProbeComPorts(const ComPortProber &probe, std::vector<uint32_t> &present,
                   std::vector<uint32_t> &free, std::vector<uint32_t> &busy);

}  // namespace velloran
