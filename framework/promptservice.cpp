#include "promptservice.h"

#include "qtpromptservice.h"

#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

namespace {
IPromptService* g_installed = nullptr;
QPointer<QWidget> g_parent;
} // namespace

IPromptService& Prompt() {
    static CQtPromptService qtService;
    return g_installed ? *g_installed : qtService;
}

IPromptService* InstallPrompt(IPromptService* service) {
    IPromptService* previous = g_installed;
    g_installed = service;
    return previous;
}

void SetPromptParent(QWidget* parent) {
    g_parent = parent;
}
QWidget* PromptParent() {
    return g_parent.data();
}

QString QtFilterFromBars(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i];
        QString patterns = parts[i + 1];
        if (desc.isEmpty() && patterns.isEmpty())
            continue;
        if (patterns.isEmpty()) {
            // "位图文件(*.bmp)": take the pattern from the description.
            static const QRegularExpression inParens(QStringLiteral("\\(([^)]*)\\)"));
            auto m = inParens.match(desc);
            patterns = m.hasMatch() ? m.captured(1) : QStringLiteral("*");
        }
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt's "all files" is "*"; "*.*" would hide names without a dot.
        patterns.replace(QLatin1String("*.*"), QLatin1String("*"));
        out << desc + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

QString DefaultSuffix(const QString& defaultExt) {
    QString ext = defaultExt;
    while (ext.startsWith(QLatin1Char('*')) || ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    return ext;
}

QString ApplyDefaultExtension(const QString& path, const QString& defaultExt) {
    const QString ext = DefaultSuffix(defaultExt);
    if (path.isEmpty() || ext.isEmpty())
        return path;
    const QFileInfo info(path);
    if (info.isDir() || info.fileName().contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + ext;
}
