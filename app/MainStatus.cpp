#include "app/MainStatus.h"

namespace {
std::function<void(const QString&)>& Sink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}
QString& Text()
{
    static QString text;
    return text;
}
}  // namespace

void SetMainStatusSink(std::function<void(const QString&)> sink) { Sink() = std::move(sink); }

void SetMainStatusText(const QString& text)
{
    Text() = text;
    if (Sink())
        Sink()(text);
}

QString MainStatusText() { return Text(); }
