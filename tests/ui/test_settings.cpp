// The three settings files: fresh defaults, exact images, short and damaged
// files, and the save error.

#include "shellfixture.h"

namespace {

int32_t Le32(const QByteArray& b, int offset) {
    int32_t v;
    std::memcpy(&v, b.constData() + offset, 4);
    return v;
}

void PutLe32(QByteArray& b, int offset, int32_t v) {
    std::memcpy(b.data() + offset, &v, 4);
}

} // namespace

TEST_F(ShellTest, FirstStartWritesTheThreeFilesWithTheirDefaults) {
    theApp.LoadComPara();
    theApp.LoadCurvePara();
    theApp.LoadTempInfo();

    const QByteArray com = ReadAll(DataFile("COMPARA.DAT"));
    ASSERT_EQ(com.size(), 169);
    const int32_t expected[10] = {0, 0, 6, 0, 3, 0, 0, 0, 255, 1};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Le32(com, 4 * i), expected[i]) << "field " << i;
    EXPECT_EQ(com.mid(40, 129), QByteArray(129, '\0')); // reserved block and unit ℃

    const QByteArray curve = ReadAll(DataFile("CURVEPARA.DAT"));
    ASSERT_EQ(curve.size(), 3513);
    CurveParameters fresh = MakeFreshCurveParameters();
    EXPECT_EQ(std::memcmp(curve.constData(), &fresh, 488), 0);
    EXPECT_EQ(curve.mid(488), QByteArray(3025, '\0'));

    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), QByteArray(261, '\0'));
    EXPECT_EQ(theApp.m_ComPara.nBaud, 6);
    EXPECT_EQ(theApp.m_ComPara.nSampleSec, 1);
}

TEST_F(ShellTest, SettingsFilesRoundTripByteForByte) {
    QDir().mkpath(m_data);
    // COMPARA.DAT: every byte distinct where the layout allows, port open flag 0.
    QByteArray com(169, '\0');
    const int32_t fields[10] = {4, 0, 9, 2, 1, 2, -7, 123456, 77, 30};
    for (int i = 0; i < 10; ++i)
        PutLe32(com, 4 * i, fields[i]);
    for (int i = 40; i < 168; ++i)
        com[i] = char(i * 7);
    com[168] = 1;
    QByteArray curve(3513, '\0');
    for (int i = 0; i < curve.size(); ++i)
        curve[i] = char((i * 31) ^ (i >> 3));
    QByteArray info(261, 'x');
    info[0] = 0;
    WriteAll(DataFile("COMPARA.DAT"), com);
    WriteAll(DataFile("CURVEPARA.DAT"), curve);
    WriteAll(DataFile("TempInfo.DAT"), info);

    theApp.LoadComPara();
    theApp.LoadCurvePara();
    theApp.LoadTempInfo();
    EXPECT_EQ(theApp.m_nTempUnit, 1);
    EXPECT_EQ(theApp.m_ComPara.nSampleSec, 30);
    const SYSTEMTIME loadedStart = theApp.m_CurvePara.startTime;
    theApp.SaveComPara();
    theApp.SaveCurvePara();
    theApp.SaveTempInfo();

    EXPECT_EQ(ReadAll(DataFile("COMPARA.DAT")), com);
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), info);
    // The start time is set to the time of loading; everything else is kept.
    QByteArray expectedCurve = curve;
    std::memcpy(expectedCurve.data() + offsetof(CurveParameters, startTime), &loadedStart, 16);
    EXPECT_EQ(ReadAll(DataFile("CURVEPARA.DAT")), expectedCurve);
}

TEST_F(ShellTest, StalePortOpenFlagIsClearedAtLoad) {
    QDir().mkpath(m_data);
    QByteArray com(169, '\0');
    PutLe32(com, 0, 2);
    PutLe32(com, 4, 1); // written while the port was open
    PutLe32(com, 8, 8);
    WriteAll(DataFile("COMPARA.DAT"), com);
    theApp.LoadComPara();
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0);
    EXPECT_EQ(theApp.m_ComPara.nPort, 2);
    EXPECT_EQ(theApp.m_ComPara.nBaud, 8);
}

TEST_F(ShellTest, ShortAndDamagedComParaFiles) {
    QDir().mkpath(m_data);
    // A file of 10 bytes fills nPort, bOpen and half of nBaud; the rest keeps
    // the values in memory (zero at start-up).
    QByteArray com(10, '\0');
    PutLe32(com, 0, 3);
    WriteAll(DataFile("COMPARA.DAT"), com);
    theApp.LoadComPara();
    EXPECT_EQ(theApp.m_ComPara.nPort, 3);
    EXPECT_EQ(theApp.m_ComPara.nBaud, 0);
    EXPECT_EQ(theApp.m_ComPara.nSampleSec, 0);
    EXPECT_EQ(theApp.m_nTempUnit, 0);

    // Indexes outside the tables get their defaults, so no lookup can overrun.
    QByteArray bad(169, '\0');
    const int32_t fields[6] = {-1, 0, 13, 9, 4, -2};
    for (int i = 0; i < 6; ++i)
        PutLe32(bad, 4 * i, fields[i]);
    WriteAll(DataFile("COMPARA.DAT"), bad);
    theApp.LoadComPara();
    EXPECT_EQ(theApp.m_ComPara.nPort, 0);
    EXPECT_EQ(theApp.m_ComPara.nBaud, 6);
    EXPECT_EQ(theApp.m_ComPara.nParity, 0);
    EXPECT_EQ(theApp.m_ComPara.nByteSize, 3);
    EXPECT_EQ(theApp.m_ComPara.nStopBits, 0);
    EXPECT_TRUE(m_prompts->Messages().isEmpty());
}

TEST_F(ShellTest, UnwritableSettingsShowTheSaveErrorAndKeepTheValues) {
    // A folder where the file should be: it can be neither opened nor written.
    QDir().mkpath(DataFile("COMPARA.DAT"));
    theApp.LoadComPara();
    EXPECT_EQ(m_prompts->Messages(), QStringList{QStringLiteral("文件保存错误!")});
    EXPECT_EQ(theApp.m_ComPara.nBaud, 6);
    EXPECT_EQ(theApp.m_ComPara.reserved2, 255);

    QDir().mkpath(DataFile("TempInfo.DAT"));
    theApp.m_TempInfo.bPending = 1;
    theApp.SaveTempInfo();
    EXPECT_EQ(m_prompts->Messages().size(), 2);
    EXPECT_EQ(theApp.m_TempInfo.bPending, 1);
}

TEST_F(ShellTest, TempInfoPathOf260CharactersHasNoTerminator) {
    const std::string path(260, 'p');
    theApp.SetTempInfoPath(path);
    EXPECT_EQ(theApp.TempInfoPath(), path);
    theApp.SetTempInfoPath(std::string(300, 'q'));
    EXPECT_EQ(theApp.TempInfoPath().size(), 260u);
}
