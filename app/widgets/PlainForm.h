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
