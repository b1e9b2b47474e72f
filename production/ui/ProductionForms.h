#pragma once
#include "app/widgets/PlainForm.h"
#include "job/ui/MDIChild.h"
#include "production/ui/SerialCutDialog.h"
#include "production/Model.h"

#include <QPointer>
#include <cstdint>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class TFltEdit;
class TFloatEditU;
class TRAWview;
class TSerialGenerator;

// What the generator window asks of the main window.
struct GenSerJobHooks {
    std::function<TMDIChild*()> NewJobWindow;
    std::function<void()> CloseAllClick;
    std::function<void()> Tile;
};

// Serial profiles from a three-dimensional model: the window over the
// generator's sequence (production/SerialGenerator.h).
class TfGenSer : public PlainForm {
    Q_OBJECT
public:
    explicit TfGenSer(QWidget* parent = nullptr, GenSerJobHooks jobs = {});
    ~TfGenSer() override;

    TSerialGenerator& Generator() { return *m_generator; }

    QStatusBar* sb = nullptr;
    QLabel* sbPanels[3] = {nullptr, nullptr, nullptr};
    QGroupBox* gbModel3D = nullptr;
    QLabel* lPlik = nullptr;
    QLineEdit* ePlik = nullptr;
    QPushButton* btnPlikRaw = nullptr;
    QPushButton* btnModelInfo = nullptr;
    TRAWview* RAWview1 = nullptr;
    QLabel* lIloscObrotow = nullptr;
    TFltEdit* feIloscObrotow = nullptr;
    QCheckBox* cbOdcinajPoZakonczeniu = nullptr;
    QCheckBox* cbZamkniOknoAut = nullptr;
    QCheckBox* cbZostawZamknieteFig = nullptr;
    QPushButton* btnAnuluj = nullptr;
    QPushButton* btnGeneruj = nullptr;
    QProgressBar* ProgressBar = nullptr;

    void btnPlikRawClick();
    void btnModelInfoClick();
    void btnGenerujClick();
    void btnAnulujClick();
    void TntFormShow();
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowState();
    void CreateProgressBar();
    TSerialGenerator* m_generator = nullptr;
    GenSerJobHooks m_jobs;
};

// Creates the generator window with its bottom-right corner at (x, y) (kept
// on screen), shows it modally and frees it; `shown` points at it meanwhile.
void ShowGenSer(int x, int y, GenSerJobHooks jobs, QWidget* parent = nullptr, TfGenSer** shown = nullptr);

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
