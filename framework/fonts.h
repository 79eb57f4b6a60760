#pragma once
// Chinese text on a machine without the Windows fonts: the label font "宋体"
// (and "SimSun") is substituted by the first Song-style CJK face installed
// (AR PL UMing from fonts-arphic-uming, then other CJK faces), and the
// application font is set to it so menus and dialogs render Chinese.

#include <QString>

// Call once after the QApplication exists. Returns the face used for "宋体"
// (empty when no CJK face is installed; Qt's own fallback applies then).
QString InstallChineseFonts(int pointSize = 10);
