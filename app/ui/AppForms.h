#pragma once
#include "app/widgets/PlainForm.h"

// Settings dialog.
class TDlgkonfig : public PlainForm {
    Q_OBJECT
public:
    explicit TDlgkonfig(QWidget* parent = nullptr);
};

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
