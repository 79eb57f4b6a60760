// ZorModbusRTU: Modbus RTU master over ZorComm, working in the caller's CZorComBuf.
//
// Every operation is one synchronous transaction: compose the request in
// buffer->TxdBuf, send it, then wait for the reply within the operation's
// budget, recognising it byte by byte with RTURxd. Budgets are counted in
// passes of 10 us each: the caller's thread sleeps on the port until bytes
// arrive or the budget's time is spent, so a reply is taken at once and no
// processor time is used while waiting. Out areas are written only on RTU_OK.
// Bytes left over from an earlier transaction are recognised first, so a late
// reply can answer the next request of the same function; a complete reply of
// another function is skipped.
// One transaction at a time in the process (the recogniser state is shared).
#pragma once

#include <cstdint>

#include "zorcombuf.h"

#if defined(ZORMODBUSRTU_BUILD)
#define ZORMODBUSRTU_API __attribute__((visibility("default")))
#else
#define ZORMODBUSRTU_API
#endif

// Result codes.
#define RTU_OK 0
#define RTU_CRC_ERROR 7
#define RTU_SEND_FAILED 10
#define RTU_TIMEOUT 15
#define RTU_MORE 255

// Nominal duration of one pass of a budget, in microseconds.
#define RTU_PASS_MICROSECONDS 10

extern "C" {

// Modbus CRC-16 (0xA001 reflected, start 0xFFFF) of `length` bytes; sent low byte first.
ZORMODBUSRTU_API uint16_t crc_chk(const uint8_t* data, uint8_t length);

// Takes one byte from buffer's receive queue and advances the recogniser.
// RTU_OK or RTU_CRC_ERROR when a frame for `slave` is complete, else RTU_MORE.
// Call only while buffer->RxdCount is non-zero.
ZORMODBUSRTU_API uint16_t RTURxd(uint8_t slave, CZorComBuf* buffer);

// 0x11 report slave id. out[0] = byte count - 2, out[1..] = that many data bytes.
// The reply's byte count decides how much is written: size out for 256 bytes.
ZORMODBUSRTU_API uint16_t OnDeviceInfo(int32_t port, uint8_t slave, CZorComBuf* buffer,
                                       uint8_t* out);

// 0x03 of one register.
ZORMODBUSRTU_API uint16_t OnReadRegister(int32_t port, uint8_t slave, uint16_t address,
                                         CZorComBuf* buffer, uint16_t* out);

// 0x03 of `count` registers (at most 125) into out[0..count-1].
ZORMODBUSRTU_API uint16_t OnReadMRegister(int32_t port, uint8_t slave, uint16_t start,
                                          uint16_t count, CZorComBuf* buffer, uint16_t* out);

// 0x01 read coils; out receives as many bytes as the reply's byte count says.
ZORMODBUSRTU_API uint16_t OnReadBitStatus(int32_t port, uint8_t slave, uint16_t start,
                                          uint16_t count, CZorComBuf* buffer, uint8_t* out);

// 0x06 of one register; the value is passed by pointer.
ZORMODBUSRTU_API uint16_t OnWriteRegister(int32_t port, uint8_t slave, uint16_t address,
                                          CZorComBuf* buffer, const uint16_t* value);

// 0x10 of `count` registers (at most 123).
ZORMODBUSRTU_API uint16_t OnWriteMRegister(int32_t port, uint8_t slave, uint16_t start,
                                           uint16_t count, CZorComBuf* buffer,
                                           const uint16_t* values);

// 0x05 forcing one coil on (FF 00) or off (00 00).
ZORMODBUSRTU_API uint16_t OnSetBitStatus(int32_t port, uint8_t slave, uint16_t address,
                                         CZorComBuf* buffer);
ZORMODBUSRTU_API uint16_t OnClrBitStatus(int32_t port, uint8_t slave, uint16_t address,
                                         CZorComBuf* buffer);

} // extern "C"
