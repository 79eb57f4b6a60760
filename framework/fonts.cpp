#include "fonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

QString InstallChineseFonts(int pointSize) {
    const QStringList families = QFontDatabase::families();
    const QStringList candidates = {
        QStringLiteral("宋体"),
        QStringLiteral("SimSun"),
        QStringLiteral("AR PL UMing CN"),
        QStringLiteral("AR PL UMing TW"),
        QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei"),
        QStringLiteral("Droid Sans Fallback"),
    };
    QString face;
    for (const QString& c : candidates) {
        if (families.contains(c, Qt::CaseInsensitive)) {
            face = c;
            break;
        }
    }
    if (face.isEmpty())
        return {};
    if (face != QStringLiteral("宋体")) {
        QFont::insertSubstitution(QStringLiteral("宋体"), face);
        QFont::insertSubstitution(QStringLiteral("SimSun"), face);
    }
    QFont font(face);
    font.setFamilies({face, QStringLiteral("DejaVu Sans")});
    font.setPointSize(pointSize);
    QApplication::setFont(font);
    return face;
}
