#pragma once
#include "app/widgets/PlainForm.h"
#include "job/ui/MDIChild.h"
#include "production/ui/SerialCutDialog.h"
#include "production/Model.h"

#include <QPointer>
#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;
class TFloatEditU;

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

// The profile bender: the open curve of a job window becomes a notched strip
// in a new job window (see production/ProfileBender.h).
class TfZaginacz : public PlainForm {
    Q_OBJECT
public:
    explicit TfZaginacz(QWidget* parent = nullptr);

    // The job window the strip is made from, and the one made last (gone
    // when the operator closed it).
    TMDIChild* SourceJob = nullptr;
    QPointer<TMDIChild> ResultJob;
    uint8_t NotchesOverlap = 0;
    // Makes the new, empty job window (the main window's own way).
    std::function<TMDIChild*()> NewJobWindow;

    QLabel* lSzerMat = nullptr;
    TFloatEditU* feuGlebokoscNaciec = nullptr;
    QLabel* lGlebokoscNaciecJm = nullptr;
    QPushButton* btnGeneruj = nullptr;
    QPushButton* btnAnuluj = nullptr;

    void btnGenerujClick();
    void btnAnulujClick();

protected:
    // Escape closes the dialog wherever the focus is; Enter in the depth
    // field generates.
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Opens the profile bender modally for `source`; `newJobWindow` makes the
// strip's window.
void ShowZaginacz(TMDIChild* source, std::function<TMDIChild*()> newJobWindow);
