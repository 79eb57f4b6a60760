// The library carries its own copy of CZorComBuf's copy assignment, exported
// like the one of ZorComBuf (a copy of every member).
#include <cstring>

#include "zorcombuf.h"

CZorComBuf& CZorComBuf::operator=(const CZorComBuf& other) {
    std::memmove(static_cast<void*>(this), &other, sizeof(CZorComBuf));
    return *this;
}
