#pragma once
#include "app/ui/SettingsDialog.h"
#include "app/widgets/PlainForm.h"

// Memory information.
class TfMemoryInfo : public PlainForm {
    Q_OBJECT
public:
    explicit TfMemoryInfo(QWidget* parent = nullptr);
};

// About box.
class TAboutBox : public PlainForm {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

// Job information.
class Tinfoform : public PlainForm {
    Q_OBJECT
public:
    explicit Tinfoform(QWidget* parent = nullptr);
};

// Folder choice.
class TfDlgDir : public PlainForm {
    Q_OBJECT
public:
    explicit TfDlgDir(QWidget* parent = nullptr);
};
