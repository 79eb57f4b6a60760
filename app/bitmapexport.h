#pragma once
// Saving a picture as a 24-bit bitmap file: the history view's "另存为位图..."
// and vantrel-cli render write their .bmp files through this one function.

#include <QString>

class QImage;

// The text shown when a bitmap cannot be saved.
inline constexpr const char* kBitmapSaveFailed = "图片保存失败！";
// The save dialog's filter and default extension.
inline constexpr const char* kBitmapFilter = "位图文件(*.bmp)||";
inline constexpr const char* kBitmapExtension = "bmp";

// Writes image as a bottom-up 24-bit BMP at path (created or truncated).
// False, with nothing written, when the image is empty or the file cannot
// be created or written.
bool SaveImageAsBmp(const QImage& image, const QString& path);
