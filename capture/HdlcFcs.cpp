#include "capture/HdlcFcs.h"

uint16_t HdlcFcs::Run(uint16_t fcs, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) fcs = Update(fcs, data[i]);
  return fcs;
}
