#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/WorkerThread.h"

struct termios;

// A serial (COM) port opened by number, in one of two modes chosen at open:
//  - callback mode: a read thread hands every received byte, with the line-error
//    bits, to a callback;
//  - synchronous mode: the caller reads and writes itself, each call waiting at
//    most 100 ms.
// Failures keep their errno in the thread's errno, as the operating system's
// error number that messages show.
class CComm {
public:
  using Callback = void (*)(void* context, uint8_t byte, uint32_t errors);
  static constexpr int INVALID_HANDLE = -1;

  // Line-error bits handed to the callback.
  static constexpr uint32_t CE_RXOVER = 0x01;
  static constexpr uint32_t CE_OVERRUN = 0x02;
  static constexpr uint32_t CE_RXPARITY = 0x04;
  static constexpr uint32_t CE_FRAME = 0x08;
  static constexpr uint32_t CE_BREAK = 0x10;

  // Parity and stop-bit codes of SetParams.
  static constexpr uint32_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
  static constexpr uint32_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

  static constexpr uint32_t IO_WAIT_MS = 100;

  CComm();
  // Closes a port that is still open.
  virtual ~CComm();
  CComm(const CComm&) = delete;
  CComm& operator=(const CComm&) = delete;

  void SetParams(uint32_t baudRate, uint32_t dataBits, uint32_t parity, uint32_t stopBits);

  // Called once, on the read thread, with the error number when the port reports
  // that its device is gone (unplugged, hung up); set before Open.
  void SetPortLostHandler(std::function<void(uint32_t error)> handler) { m_portLost = std::move(handler); }
  bool IsPortLost() const { return m_lost.load(); }

  // Opens the device of COM<n>, non-blocking, and takes an exclusive advisory lock
  // on it so that a port in use by another program (or another object) cannot be
  // opened. INVALID_HANDLE on failure, errno set.
  static int OpenPort(uint32_t portNumber, bool inheritable);
  // Closes a port still open first. Shows "Failed to open serial port
  // COM%u:\r\nError: %u" when the port cannot be opened or configured and returns
  // INVALID_HANDLE.
  int Open(uint32_t portNumber, Callback callback, void* context, bool inheritable);
  // Configures an opened port; INVALID_HANDLE (the handle closed, errno set) when the
  // driver refuses the line rate. A port open before is closed first.
  int Attach(int handle, Callback callback, void* context);
  void Close();
  bool IsOpen() const { return m_handle >= 0; }
  bool Purge();
  bool Read(void* buffer, uint32_t count, uint32_t* bytesRead);
  bool Write(const void* buffer, uint32_t count, uint32_t* bytesWritten);
  // Whether the port opens now; with heldCounts also a port that exists but is held
  // or not permitted.
  static bool PortExists(uint32_t portNumber, bool heldCounts = false);

  // Puts the line settings into a terminal configuration: raw bytes, no flow
  // control, the rate, data bits, parity (mark and space as stick parity) and
  // stop bits. Parity codes as SetParams.
  static void ApplyLineSettings(termios& tio, uint32_t baudRate, uint32_t dataBits, uint32_t parity,
                                uint32_t stopBits);

  uint32_t GetPortNumber() const { return m_portNumber; }
  uint32_t GetBaudRate() const { return m_baudRate; }
  uint32_t GetDataBits() const { return m_dataBits; }
  uint32_t GetParity() const { return m_parity; }
  uint32_t GetStopBits() const { return m_stopBits; }

private:
  void ReadThread(int stopDescriptor);
  void stopReadThread();
  bool configure();
  uint32_t lineErrors();

  platform::WorkerThread m_readThread;
  bool m_callbackMode = false;
  uint32_t m_portNumber = 0;
  uint32_t m_baudRate = 9600;
  uint32_t m_dataBits = 8;
  uint32_t m_parity = NOPARITY;
  uint32_t m_stopBits = ONESTOPBIT;
  void* m_callbackContext = nullptr;
  int m_handle = INVALID_HANDLE;
  Callback m_callback = nullptr;
  std::function<void(uint32_t)> m_portLost;
  std::atomic<bool> m_lost{false};
  // Writes come from the owner's thread and, for link acknowledgements, from the
  // read thread; one write finishes before the next begins.
  std::mutex m_writeMutex;
  // Line-error counters at the last look, to report only what is new.
  uint32_t m_countFrame = 0, m_countOverrun = 0, m_countParity = 0, m_countBreak = 0, m_countBufOverrun = 0;
};
