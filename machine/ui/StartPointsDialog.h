#pragma once
#include "app/widgets/PlainForm.h"
#include "machine/StartPoints.h"

class QEvent;
class QGroupBox;
class QLabel;
class QPushButton;
class TFloatEditU;

// The start points of a transverse cut: the operator confirms or edits where
// the front and the side wire begin; Start accepts them when both drawings fit
// their carriages' travel.
class TfVeStartDlg : public PlainForm {
    Q_OBJECT
public:
    TfVeStartDlg(QWidget* parent, StartPointWindows windows);

    QGroupBox* gbFront = nullptr;
    QGroupBox* gbBack = nullptr;
    TFloatEditU* feuFx = nullptr;
    TFloatEditU* feuFy = nullptr;
    TFloatEditU* feuSx = nullptr;
    TFloatEditU* feuSy = nullptr;
    QLabel* pMaxFx = nullptr;
    QLabel* pMaxFy = nullptr;
    QLabel* pMaxSx = nullptr;
    QLabel* pMaxSy = nullptr;
    QPushButton* btnDalej = nullptr;
    QPushButton* btnAnuluj = nullptr;

    // The four edits' values, in mm.
    StartPointValues Values() const;
    // Checks the points; on a failure the first edit of the failing wire
    // takes the focus. A window of the pair closed meanwhile cancels the dialog.
    bool CheckStartPoints();

public slots:
    void btnDalejClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    StartPointWindows m_windows;
};

// Shows the dialog modally when both windows of the pair are open (otherwise
// an information box names the missing one); true when it closed with Start.
bool ShowStartPointsDialog(QWidget* parent, const StartPointWindows& windows);
