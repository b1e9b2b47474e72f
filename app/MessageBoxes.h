#pragma once
#include <QString>

// Answers of a question box, as the callers compare them.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrRetry = 4, mrYes = 6, mrNo = 7 };

enum class MessageButtons { YesCancel, YesNoCancel, OkCancel, OkCancelRetry, YesNo };

enum class MessageKind { Information, Error, Question };

// One box as the program asks for it; the presenter decides how it is shown.
struct MessageRequest {
    MessageKind kind = MessageKind::Information;
    QString text;
    QString caption;  // empty for a question: the presenter's default title
    bool rightToLeft = false;
    MessageButtons buttons = MessageButtons::OkCancel;  // questions only
    // Questions only: Yes (or OK) gives work up, so Enter must not: the
    // answer that keeps it (No, else Cancel) is the default button.
    bool keepsWorkByDefault = false;
};

// Every box of the program goes through the one installed presenter: the windows
// install one that shows real dialogs, tests install one that records and answers.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual void Show(const MessageRequest& request) = 0;
    virtual int Ask(const MessageRequest& request) = 0;
};

// Installs the presenter (nullptr: boxes go to standard error, questions answer Cancel).
void SetMessagePresenter(MessagePresenter* presenter);
MessagePresenter* CurrentMessagePresenter();

// An information or error box. An empty caption becomes the translation of
// Universal/"blad" or Universal/"informacja".
void ShowMessageBox(const QString& text, bool isError, const QString& caption = QString());

// The same box with the fixed captions "Error" and "Information", for the time
// before a language file is loaded.
void ShowFixedMessageBox(const QString& text, bool isError, const QString& caption = QString());

// A question; returns the button pressed (mrYes, mrNo, mrOk, mrCancel, mrRetry).
int AskWithCaption(const QString& text, MessageButtons buttons, const QString& caption);
int Ask(const QString& text, MessageButtons buttons);
// A question whose Yes (or OK) throws work away (a paused cut, files on disk,
// the controller's newer firmware): No, else Cancel, is what Enter answers.
int AskBeforeDiscarding(const QString& text, MessageButtons buttons, const QString& caption = QString());
