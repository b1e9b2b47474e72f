#pragma once
#include "app/MessageBoxes.h"

class QWidget;

// Shows the program's boxes as modal Qt message boxes over the main window.
class QtMessagePresenter : public MessagePresenter {
public:
    void Show(const MessageRequest& request) override;
    int Ask(const MessageRequest& request) override;
};
