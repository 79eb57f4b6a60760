#include "recentfilelist.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <memory>

namespace {
const QString kSection = QStringLiteral("Recent File List");

std::unique_ptr<QSettings> OpenSettings(const QString& organisation, const QString& file) {
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       organisation.isEmpty() ? QStringLiteral("Vantrel")
                                                              : organisation,
                                       QStringLiteral("Vantrel"));
}
} // namespace

void CRecentFileList::Configure(const QString& organisation, int size,
                                const QString& settingsFile) {
    m_organisation = organisation;
    m_settingsFile = settingsFile;
    m_nSize = size;
    while (m_files.size() > m_nSize)
        m_files.removeLast();
}

void CRecentFileList::Add(const QString& path) {
    if (m_nSize <= 0 || path.isEmpty())
        return;
    m_files.removeAll(path);
    m_files.prepend(path);
    while (m_files.size() > m_nSize)
        m_files.removeLast();
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < m_files.size())
        m_files.removeAt(index);
}

void CRecentFileList::Load() {
    m_files.clear();
    auto s = OpenSettings(m_organisation, m_settingsFile);
    s->beginGroup(kSection);
    for (int i = 1; i <= m_nSize; ++i) {
        const QString f = s->value(QStringLiteral("File%1").arg(i)).toString();
        if (!f.isEmpty() && !m_files.contains(f))
            m_files << f;
    }
    s->endGroup();
}

void CRecentFileList::Save() const {
    if (m_nSize <= 0)
        return;
    auto s = OpenSettings(m_organisation, m_settingsFile);
    s->remove(kSection);
    s->beginGroup(kSection);
    for (int i = 0; i < m_files.size(); ++i)
        s->setValue(QStringLiteral("File%1").arg(i + 1), m_files[i]);
    s->endGroup();
}

QString CRecentFileList::MenuText(int index) const {
    if (index < 0 || index >= m_files.size())
        return {};
    QString name = QDir::toNativeSeparators(m_files[index]);
    if (name.size() > 60)
        name = QStringLiteral("...") + name.right(57);
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(name);
}
