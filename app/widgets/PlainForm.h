#pragma once
#include <QDialog>

// A window of the program: named like its class, titled from the language file,
// laid out right to left when the language reads that way.
class PlainForm : public QDialog {
    Q_OBJECT
public:
    PlainForm(const char* className, QWidget* parent = nullptr);

    // Shows the form modally; true when it was closed with OK.
    bool ShowModalOk();
};

// The caption of the control that has the focus is bold in the production
// dialogs. Each such caption keeps from the start the width its bold text
// needs (KeepWidthWhenBold, once its text is set), so that neither the form
// grows nor its controls shift when one turns bold.
void KeepWidthWhenBold(QWidget* caption);
void SetBold(QWidget* caption, bool bold);
