#pragma once
#include "app/widgets/PlainForm.h"
#include "production/ui/SerialCutDialog.h"

// Serial profiles from a three-dimensional model.
class TfGenSer : public PlainForm {
    Q_OBJECT
public:
    explicit TfGenSer(QWidget* parent = nullptr);
};

// Extents of the loaded model.
class TfModelInfo : public PlainForm {
    Q_OBJECT
public:
    explicit TfModelInfo(QWidget* parent = nullptr);
};

// Profile bender.
class TfZaginacz : public PlainForm {
    Q_OBJECT
public:
    explicit TfZaginacz(QWidget* parent = nullptr);
};
