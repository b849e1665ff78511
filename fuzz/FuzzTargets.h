#pragma once

#include <cstddef>
#include <cstdint>

// Parsers of outside bytes, each driven by one fuzz target. They return 0 and must
// never read or write out of bounds, whatever the input.
namespace fuzz {

// Frame receiver of the serial link: an arbitrary byte stream from the line.
int HdlcReceiverInput(const uint8_t* data, size_t size);
// Record decoder of the data sink: arbitrary buffers into a file being written,
// with the trigger armed on a pattern taken from the input.
int DeviceRecordsInput(const uint8_t* data, size_t size);
// Pattern text typed by the user.
int PatternTextInput(const uint8_t* data, size_t size);
// An acquisition file of any content, read as the shown file.
int AcquisitionFileInput(const uint8_t* data, size_t size);
// A boot loader's checksum reply, and a firmware file cut into the lines sent.
int BootLoaderInput(const uint8_t* data, size_t size);

}  // namespace fuzz
