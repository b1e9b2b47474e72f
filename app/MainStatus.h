#pragma once
#include <QString>
#include <functional>

// The main window's status bar as the rest of the program writes to it. The main
// window installs the sink; until then (and in tests) the text is only kept.
void SetMainStatusSink(std::function<void(const QString&)> sink);
void SetMainStatusText(const QString& text);
QString MainStatusText();
