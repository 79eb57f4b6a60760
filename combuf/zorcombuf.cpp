#include "zorcombuf.h"

#include <cstddef>
#include <cstring>

#include "libtrace.h"

static_assert(sizeof(CZorComBuf) == 4120);
static_assert(offsetof(CZorComBuf, TxdBuf) == 0);
static_assert(offsetof(CZorComBuf, RxdBuf) == 2048);
static_assert(offsetof(CZorComBuf, TxdCount) == 4096);
static_assert(offsetof(CZorComBuf, RxdCount) == 4100);
static_assert(offsetof(CZorComBuf, TxdReadPos) == 4104);
static_assert(offsetof(CZorComBuf, RxdReadPos) == 4108);
static_assert(offsetof(CZorComBuf, TxdWritePos) == 4112);
static_assert(offsetof(CZorComBuf, RxdWritePos) == 4116);

VANTREL_LIBRARY_TRACE("ZorComBuf")

namespace {
constexpr int kSize = ZORCOMBUF_SIZE;
constexpr int kEmpty = 0xFF00;
} // namespace

CZorComBuf::CZorComBuf()
    : TxdBuf{}, RxdBuf{}, TxdCount(0), RxdCount(0), TxdReadPos(0), RxdReadPos(0), TxdWritePos(0),
      RxdWritePos(0) {}

CZorComBuf::~CZorComBuf() {}

CZorComBuf& CZorComBuf::operator=(const CZorComBuf& other) {
    std::memmove(static_cast<void*>(this), &other, sizeof(CZorComBuf));
    return *this;
}

int CZorComBuf::Tputc(char c) {
    if (TxdCount >= kSize)
        TxdCount = 0;
    if (TxdWritePos >= kSize)
        TxdWritePos = 0;
    TxdBuf[TxdWritePos] = c;
    ++TxdWritePos;
    ++TxdCount;
    if (TxdCount >= kSize)
        TxdCount = 0;
    if (TxdWritePos >= kSize)
        TxdWritePos = 0;
    return 255;
}

int CZorComBuf::Tputs(int* count, char* src) {
    int n;
    if (*count + TxdCount < kSize) {
        n = *count;
        *count = 0;
    } else {
        n = kSize - TxdCount;
        *count -= n;
    }
    for (int i = 0; i < n; ++i)
        TxdBuf[(TxdWritePos + i) % kSize] = src[i];
    TxdWritePos = (TxdWritePos + n) % kSize;
    TxdCount += n;
    return *count;
}

int CZorComBuf::Tgets(int n, char* dst) {
    if (RxdCount < n)
        n = RxdCount;
    if (n <= 0)
        return 0;
    for (int i = 0; i < n; ++i)
        dst[i] = RxdBuf[(RxdReadPos + i) % kSize];
    RxdReadPos = (RxdReadPos + n) % kSize;
    RxdCount -= n;
    return n;
}

int CZorComBuf::Tgetc() {
    if (RxdCount == 0)
        return kEmpty;
    --RxdCount;
    int value = static_cast<signed char>(RxdBuf[RxdReadPos]);
    RxdReadPos = (RxdReadPos + 1) % kSize;
    return value;
}

void CZorComBuf::WriteRxdBuf(int n, char* src) {
    for (int i = 0; i < n; ++i) {
        RxdBuf[RxdWritePos] = src[i];
        RxdWritePos = (RxdWritePos + 1) % kSize;
        RxdCount = (RxdCount + 1) % kSize;
    }
}
