#include "launchprobe.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <chrono>

namespace {

class LaunchProbe : public QObject {
public:
    LaunchProbe(QWidget* window, QString file)
        : QObject(window), m_window(window), m_file(std::move(file)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == m_window && e->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // Record after this paint has been handled.
            QTimer::singleShot(0, this, [this] { Finish(); });
        }
        return false;
    }

private:
    void Finish() {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        QFile f(m_file);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(QByteArray::number(
                qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count())));
        f.close();
        if (qEnvironmentVariableIsSet("VANTREL_LAUNCH_SHOT"))
            m_window->grab().save(m_file + QStringLiteral(".png"));
        m_window->close();
        QApplication::quit();
    }

    QWidget* m_window;
    QString m_file;
    bool m_done = false;
};

} // namespace

void InstallLaunchProbe(QWidget* mainWindow) {
    const QString file = qEnvironmentVariable("VANTREL_LAUNCH_PROBE");
    if (file.isEmpty() || !mainWindow)
        return;
    mainWindow->installEventFilter(new LaunchProbe(mainWindow, file));
}
