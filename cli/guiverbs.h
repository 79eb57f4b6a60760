#pragma once
// What the verbs that need Qt (print, render) share: the application object
// without a screen, and the first window of a recording as the history view
// loads it.

#include "trendwindow.h"

#include <QGuiApplication>

#include <memory>
#include <string>

// Qt needs an application object for fonts, images and the PDF engine;
// without a display it runs on the offscreen platform.
std::unique_ptr<QGuiApplication> MakeHeadlessApp();

// The recording at path with its first window loaded, or null after one line
// with the reason on stderr ("vantrel-cli <verb>: ..."). The window is large
// (80 x 1200 points plus scratch), so it lives on the heap.
std::unique_ptr<TrendWindow> LoadFirstWindow(const char* verb, const std::string& path);
