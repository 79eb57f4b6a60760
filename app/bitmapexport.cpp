#include "bitmapexport.h"

#include "bmpfile.h"

#include <QFile>
#include <QImage>

bool SaveImageAsBmp(const QImage& image, const QString& path) {
    if (image.isNull())
        return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    CBmpFile bmp;
    if (!bmp.SetFromRgb32(rgb.width(), rgb.height(),
                          reinterpret_cast<const uint32_t*>(rgb.constBits()),
                          std::size_t(rgb.bytesPerLine())))
        return false;
    return bmp.Save(QFile::encodeName(path).toStdString());
}
