// ZorComBuf: class CZorComBuf, a transmit area and a receive ring of 2048
// bytes each with public members. The Modbus library composes requests in
// TxdBuf and gathers replies in the receive ring. No I/O, no locks.
#pragma once

#if defined(ZORCOMBUF_BUILD) || defined(ZORMODBUSRTU_BUILD)
#define ZORCOMBUF_API __attribute__((visibility("default")))
#else
#define ZORCOMBUF_API
#endif

#define ZORCOMBUF_SIZE 2048

class ZORCOMBUF_API CZorComBuf {
public:
    CZorComBuf();
    ~CZorComBuf();
    CZorComBuf(const CZorComBuf& other) = default;
    // Copies every member.
    CZorComBuf& operator=(const CZorComBuf& other);

    // Appends c to the transmit queue; a full queue restarts its count at 0
    // and writing goes on over the oldest bytes. Always 255.
    int Tputc(char c);
    // Appends as much of *count bytes of src as fits; *count and the result
    // are the bytes that did not fit.
    int Tputs(int* count, char* src);
    // Takes up to n bytes from the receive queue into dst; returns how many.
    int Tgets(int n, char* dst);
    // Takes one byte from the receive queue, sign-extended, or 0xFF00 when empty.
    int Tgetc();
    // Appends n bytes to the receive queue; nothing is refused (see RxdCount).
    void WriteRxdBuf(int n, char* src);

    char TxdBuf[ZORCOMBUF_SIZE];
    char RxdBuf[ZORCOMBUF_SIZE];
    int TxdCount;
    int RxdCount; // unread bytes, counted modulo 2048
    int TxdReadPos;
    int RxdReadPos;
    int TxdWritePos;
    int RxdWritePos;
};
