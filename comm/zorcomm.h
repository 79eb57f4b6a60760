// ZorComm: numbered serial ports over POSIX termios.
//
// Ports are named by their 1-based number; port n opens the device given by
// vantrel::PortDevicePath(n) (<data folder>/ports/COM<n>, else /dev/ttyS<n-1>).
// Valid numbers are 1 to 28. Every call is synchronous; reads never wait.
// One caller thread at a time (the library takes no locks).
#pragma once

#include <cstdint>

#if defined(ZORCOMM_BUILD)
#define ZORCOMM_API __attribute__((visibility("default")))
#else
#define ZORCOMM_API
#endif

extern "C" {

// Opens port `port` raw, non-blocking and exclusive, and sets the line:
// baud in bits per second (any rate, also those without a termios constant),
// byteSize 5..8, parity 0 none, 1 odd, 2 even, 3 mark, 4 space, stopBits
// 0 = 1 stop bit, 1 = 1.5 stop bits (set as 2, which termios cannot tell
// apart), 2 = 2 stop bits. Parity is generated but not checked on receive.
// Shows "打开串口失败！" when the device cannot be opened and
// "SetCommState失败！" when the line settings are refused.
ZORCOMM_API bool Open_Com(uint8_t port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                          uint8_t stopBits);

// Drops DTR, discards both queues and closes. Always true; a port that is not
// open (never opened, failed, already closed) is left alone.
ZORCOMM_API bool Close_Com(uint8_t port);

// Changes the rate only. False (and the port closed) when it is refused.
ZORCOMM_API bool Change_Baudrate(uint8_t port, uint32_t baud);

// Changes rate, data bits, parity and stop bits; parity checking is left as it
// was. False (and the port closed) when refused.
ZORCOMM_API bool Change_Config(uint8_t port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                               uint8_t stopBits);

// Writes `length` bytes, waiting at most 2000 ms for the line to take them.
// False when the write is refused at once (for example the port is not open);
// true once the bytes are handed over or the wait ran out.
ZORCOMM_API bool WriteCommBlock(const char* data, int32_t length, int32_t port);

// Stores up to maxLength bytes that have already arrived; 0 at once when none.
ZORCOMM_API int32_t ReadCommBlock(char* buffer, uint32_t maxLength, int32_t port);

// Blocks until bytes are waiting on the port or `timeoutMicroseconds` have
// passed, without using the processor meanwhile. Returns 1 when bytes are
// waiting, 0 when the time ran out, -1 when the port is not open.
ZORCOMM_API int32_t WaitCommInput(int32_t port, uint32_t timeoutMicroseconds);

// The two user-visible failures of Open_Com are shown through this handler.
// The program installs one that shows its modal message box; without one the
// text goes to stderr. Pass nullptr to restore the default.
typedef void (*ComMessageHandler)(const char* utf8Text);
ZORCOMM_API void SetComMessageHandler(ComMessageHandler handler);

// Line errors beep through this handler (the program installs the toolkit's
// beep); without one nothing sounds.
typedef void (*ComBeepHandler)(void);
ZORCOMM_API void SetComBeepHandler(ComBeepHandler handler);

} // extern "C"
