// Internal to win/: Qt's application object, made once on first need (on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise), and the fonts.
#pragma once

#include <QFont>
#include <QString>
#include <functional>

#include "win/gdi_types.h"

namespace win::detail {

// Safe from any thread; later calls wait for the first to finish.
void EnsureQtApplication();
// The display's start, on its UI thread: `make` constructs the application
// object (one with widgets) instead of the lazy one, on the platform that
// QT_QPA_PLATFORM names. False when an application object was made before.
bool MakeQtApplication(const std::function<void(int& argc, char** argv)>& make);
// Called on the thread of each warning the toolkit gives, before it goes on:
// the display learns there that its desktop connection broke (the toolkit
// ends the process right after that warning).
void SetQtWarningWatch(void (*watch)(const QString& message));
// The face every font draws in ("DejaVu Sans" loaded from its files).
QString FontFamily();
// The Qt font of a LOGFONTA, drawn without smoothing.
QFont MakeQFont(const LOGFONTA& log);

}  // namespace win::detail
