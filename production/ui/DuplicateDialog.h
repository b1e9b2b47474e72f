#pragma once
#include "app/widgets/PlainForm.h"
#include "production/Duplication.h"

#include <QPointer>
#include <QString>
#include <functional>

class QEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class TFltEdit;
class TFltEditU;
class TMDIChild;

// Where the dialog gets the new job window it builds the grid in.
using NewJobWindowHook = std::function<TMDIChild*()>;

// Duplicates a job in a grid of rows and columns, joined by one zig-zag
// connector, into a new job window; the grid's parameters are kept in a file
// beside the drawing and proposed again the next time.
class TfParDup : public PlainForm {
    Q_OBJECT
public:
    TfParDup(QWidget* parent, TMDIChild* pattern, NewJobWindowHook newJobWindow);

    TMDIChild* PatternWindow = nullptr;
    QPointer<TMDIChild> TargetWindow;
    QString DplFileName;
    double PatternWidth = 0;   // mm
    double PatternHeight = 0;  // mm
    DuplicationGrid Grid;
    int32_t Decimals = 1;

    QGroupBox* gbWzorzec = nullptr;
    QLabel* lPlik = nullptr;
    QLabel* lWymiary = nullptr;
    QLabel* lSzerokosc = nullptr;
    QLabel* lWysokosc = nullptr;
    QLabel* lIloscElemWWierszu = nullptr;
    QLabel* lIloscWierszy = nullptr;
    QLabel* lPrzesuniecieMdzyElem1 = nullptr;
    QLabel* lPrzesuniecieMdzyElem2 = nullptr;
    QLabel* lPrzesMdzyWierszami1 = nullptr;
    QLabel* lPrzesMdzyWierszami2 = nullptr;
    QLabel* lSzerCalegoProj = nullptr;
    QLabel* lWysCalegoProj = nullptr;
    QLabel* lOdlMdzyEl_i_laczPionowym = nullptr;
    QLabel* lOdlMdzyEl_i_laczPoziomym = nullptr;
    QLineEdit* ePlik = nullptr;
    QLabel* pWzorzecSzerokosc = nullptr;
    QLabel* pWzorzecWysokosc = nullptr;
    QLabel* pCalySzer = nullptr;
    QLabel* pCalyWys = nullptr;
    // "[unit]" beside each length.
    QList<QLabel*> UnitLabels;
    TFltEdit* feIloscElemWWierszu = nullptr;
    TFltEdit* feIloscWierszy = nullptr;
    TFltEditU* feuPrzesuniecieMdzyElem = nullptr;
    TFltEditU* feuPrzesMdzyWierszami = nullptr;
    TFltEditU* feuOdlMdzyEl_i_laczPionowym = nullptr;
    TFltEditU* feuOdlMdzyEl_i_laczPoziomym = nullptr;
    QPushButton* btnZatwierdz = nullptr;
    QPushButton* btnAnuluj = nullptr;
    QPushButton* btnParDomyslne = nullptr;

    // The six edits as the operator left them.
    DuplicationParams Params() const;

public slots:
    void btnZatwierdzClick();
    void btnParDomyslneClick();
    void UpdateWholeSize();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Activate();
    void SetParams(const DuplicationParams& params);
    QString Shown(double mm) const;
    QList<QLabel*> LabelsOf(QObject* edit) const;
    QWidget* EditOf(DuplicationField field) const;
    NewJobWindowHook m_newJobWindow;
    bool m_activated = false;
};

// The dialog for a job window, shown modally and freed (through the global
// fParDup while it is open).
void ShowDuplicateDialog(QWidget* parent, TMDIChild* pattern, NewJobWindowHook newJobWindow);

extern TfParDup* fParDup;
