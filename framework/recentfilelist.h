#pragma once
// The list of recently opened files (most recent first), kept in a QSettings
// profile under the section "Recent File List" with keys File1..FileN.

#include <QString>
#include <QStringList>

class CRecentFileList {
public:
    // settingsFile empty: the user's profile for organisation key, "Vantrel".
    void Configure(const QString& organisation, int size, const QString& settingsFile = {});
    void Add(const QString& path);
    void Remove(int index);
    const QStringList& Files() const { return m_files; }
    int Size() const { return m_nSize; }
    void Load();
    void Save() const;
    // Menu text of entry i: "&1 name" (the file name, shortened when long).
    QString MenuText(int index) const;

private:
    QString m_organisation;
    QString m_settingsFile;
    int m_nSize = 0;
    QStringList m_files;
};
