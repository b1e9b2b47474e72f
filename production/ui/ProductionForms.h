#pragma once
#include "app/widgets/PlainForm.h"
#include "production/ui/SerialCutDialog.h"
#include "production/Model.h"

class QLabel;
class QPushButton;

// Serial profiles from a three-dimensional model.
class TfGenSer : public PlainForm {
    Q_OBJECT
public:
    explicit TfGenSer(QWidget* parent = nullptr);
};

// The loaded model's source file, file size, overall sizes and extents in the
// current length unit.
class TfModelInfo : public PlainForm {
    Q_OBJECT
public:
    explicit TfModelInfo(QWidget* parent = nullptr);

    // The caller's copy of the model shown.
    TModel Model;

    QLabel *lZrodlo, *pZrodlo, *lRozmiarPliku;
    QLabel *lSzerokoscX, *pSzerokoscX, *lSzerokoscXJm;
    QLabel *lDlugoscY, *pDlugoscY, *lDlugoscYJm;
    QLabel *lWysokoscZ, *pWysokoscZ, *lWysokoscZJm;
    QLabel *pXmin, *pXmax, *pYmin, *pYmax, *pZmin, *pZmax;
    QLabel *lXminJm, *lXmaxJm, *lYminJm, *lYmaxJm, *lZminJm, *lZmaxJm;
    QPushButton* btnOK;

    // Units, texts and values filled from Model; run each time the window shows.
    void TntFormShow();
    void btnOKClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// Shows the model's properties modally at (left, top) in screen pixels.
void ShowModelInfo(int left, int top, const TModel& model);

// Profile bender.
class TfZaginacz : public PlainForm {
    Q_OBJECT
public:
    explicit TfZaginacz(QWidget* parent = nullptr);
};
