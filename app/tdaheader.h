#pragma once
// The 172-byte header at the start of every .tda history file.

#include "systemtime.h"

#include <cstddef>
#include <cstdint>

struct TdaHeader {
    uint8_t signature[8];
    uint8_t reserved0[2];
    char makerName[54];
    int32_t sampleInterval; // seconds between samples
    int32_t channelCount;   // values per row, 0..80
    SYSTEMTIME runStartTime;
    SYSTEMTIME lastSampleTime;
    int32_t sampleCount;
    int32_t checksum;
    uint8_t valueScale; // 2 = hundredths, anything else tenths
    uint8_t reserved1[59];
};

static_assert(sizeof(TdaHeader) == 172);
static_assert(offsetof(TdaHeader, makerName) == 10);
static_assert(offsetof(TdaHeader, sampleInterval) == 64);
static_assert(offsetof(TdaHeader, channelCount) == 68);
static_assert(offsetof(TdaHeader, runStartTime) == 72);
static_assert(offsetof(TdaHeader, lastSampleTime) == 88);
static_assert(offsetof(TdaHeader, sampleCount) == 104);
static_assert(offsetof(TdaHeader, checksum) == 108);
static_assert(offsetof(TdaHeader, valueScale) == 112);

constexpr long long SAMPLE_DATA_OFFSET = 660; // header + CurveParameters
