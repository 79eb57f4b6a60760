#pragma once
// A fresh program start for every test: its own data folder and profile
// folder, a scripted prompt service, and theApp's state reset.

#include "commandids.h"
#include "dialog.h"
#include "mainfrm.h"
#include "scriptedpromptservice.h"
#include "vantrel.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Runs deferred deletions, so closed windows are really gone.
inline void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = m_dir.filePath(QStringLiteral("data"));
        qputenv("VANTREL_DATA_DIR", m_data.toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           m_dir.filePath(QStringLiteral("config")));
        ResetApp();
        m_prompts = std::make_unique<CScriptedPromptService>();
        CMainFrame::s_openUrl = [this](const QUrl& url) { m_openedUrls << url; };
    }

    void TearDown() override {
        CDialog::SetModalScript(nullptr);
        theApp.ExitInstance();
        Settle();
        m_prompts.reset();
        CMainFrame::s_openUrl = nullptr;
    }

    static void ResetApp() {
        theApp.m_bRealTimeOpen = theApp.m_bAcquiring = theApp.m_bUnsaved = false;
        theApp.m_nSaveAnswer = theApp.m_nExitAnswer = 0;
        theApp.m_ComPara = ComPara{};
        theApp.m_CurvePara = CurveParameters{};
        theApp.m_ChannelNames = ChannelNameTable{};
        theApp.m_TempInfo = TempInfo{};
        theApp.m_nTempUnit = 0;
        theApp.m_strTempFile.clear();
        theApp.m_pTempFile = nullptr;
        theApp.m_onDiscardRun = nullptr;
        theApp.m_cmdInfo = CCommandLineInfo{};
    }

    QString DataFile(const char* name) const {
        return m_data + QLatin1Char('/') + QLatin1String(name);
    }
    QString TempPath(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    // A temporary run file in the data folder holding some bytes, recorded
    // as pending in TempInfo.DAT (as an abnormal end leaves it).
    QString LeavePendingRun(const QByteArray& content = QByteArray(3685, '\x5a')) {
        QDir().mkpath(m_data);
        const QString run = DataFile("TRC1A2B.tmp");
        WriteAll(run, content);
        QByteArray info(261, '\0');
        info[0] = 1;
        const QByteArray p = run.toLocal8Bit();
        std::memcpy(info.data() + 1, p.constData(), size_t(p.size()));
        WriteAll(DataFile("TempInfo.DAT"), info);
        return run;
    }

    bool Start() {
        const bool ok = theApp.InitInstance();
        Settle();
        return ok;
    }

    CMainFrame* Frame() const { return theApp.MainFrame(); }

    QTemporaryDir m_dir;
    QString m_data;
    std::unique_ptr<CScriptedPromptService> m_prompts;
    QList<QUrl> m_openedUrls;
};
