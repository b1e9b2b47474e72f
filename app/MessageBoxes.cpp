#include "app/MessageBoxes.h"

#include "app/Globals.h"
#include "app/Translator.h"

#include <cstdio>

namespace {
MessagePresenter* g_presenter = nullptr;

void Deliver(MessageRequest request)
{
    request.rightToLeft = ApplicationRightToLeft;
    if (g_presenter) {
        g_presenter->Show(request);
        return;
    }
    std::fprintf(stderr, "[%s] %s\n", request.caption.toLocal8Bit().constData(),
                 request.text.toLocal8Bit().constData());
}
}  // namespace

void SetMessagePresenter(MessagePresenter* presenter) { g_presenter = presenter; }

MessagePresenter* CurrentMessagePresenter() { return g_presenter; }

void ShowMessageBox(const QString& text, bool isError, const QString& caption)
{
    MessageRequest r;
    r.kind = isError ? MessageKind::Error : MessageKind::Information;
    r.text = text;
    if (!caption.isEmpty())
        r.caption = caption;
    else
        r.caption = isError ? Tr("Universal", "blad") : Tr("Universal", "informacja");
    Deliver(r);
}

void ShowFixedMessageBox(const QString& text, bool isError, const QString& caption)
{
    MessageRequest r;
    r.kind = isError ? MessageKind::Error : MessageKind::Information;
    r.text = text;
    r.caption = !caption.isEmpty() ? caption : QString(isError ? "Error" : "Information");
    Deliver(r);
}

namespace {
int Question(const QString& text, MessageButtons buttons, const QString& caption, bool keepsWorkByDefault)
{
    MessageRequest r;
    r.kind = MessageKind::Question;
    r.text = text;
    r.caption = caption;
    r.buttons = buttons;
    r.keepsWorkByDefault = keepsWorkByDefault;
    r.rightToLeft = ApplicationRightToLeft;
    if (!g_presenter) {
        std::fprintf(stderr, "[question] %s -> cancel\n", text.toLocal8Bit().constData());
        return mrCancel;
    }
    return g_presenter->Ask(r);
}
}  // namespace

int AskWithCaption(const QString& text, MessageButtons buttons, const QString& caption)
{
    return Question(text, buttons, caption, false);
}

int AskBeforeDiscarding(const QString& text, MessageButtons buttons, const QString& caption)
{
    return Question(text, buttons, caption, true);
}

int Ask(const QString& text, MessageButtons buttons) { return AskWithCaption(text, buttons, QString()); }
