#pragma once
// Start-up measurement for the launch-time bench: when the environment
// variable VANTREL_LAUNCH_PROBE names a file, the program writes the wall
// clock time (nanoseconds since the epoch) at the main window's first paint
// into it, saves a picture of the window next to it (".png" appended) when
// VANTREL_LAUNCH_SHOT is set, and quits. Without the variable nothing happens.

class QWidget;

void InstallLaunchProbe(QWidget* mainWindow);
