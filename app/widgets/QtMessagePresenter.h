#pragma once
#include "app/MessageBoxes.h"

#include <memory>

class QDialog;
class QMessageBox;
class QWidget;

// Shows the program's boxes as modal Qt message boxes over the main window.
class QtMessagePresenter : public MessagePresenter {
public:
    void Show(const MessageRequest& request) override;
    int Ask(const MessageRequest& request) override;
};

// The box an information or error request is shown in, not yet shown. A text
// taller than the screen can hold (the lines of a settings file that were not
// understood, by the thousand) goes into a scroll area, so the box and its OK
// button stay on the screen.
std::unique_ptr<QDialog> MakeMessageBox(const MessageRequest& request, QWidget* parent);

// The box a question is asked in, not yet shown: its buttons, and the default
// one the request asks for.
std::unique_ptr<QMessageBox> MakeQuestionBox(const MessageRequest& request, QWidget* parent);
