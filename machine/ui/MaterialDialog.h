#pragma once
#include "app/widgets/PlainForm.h"
#include "machine/TwoPlaneMaterial.h"

#include <functional>

class QKeyEvent;
class QLabel;
class QPushButton;
class TFloatEditU;
class TJob;
class Machine;

// The material of an independent two-wire cut: its width and its distance
// from the front plane. Start projects the job onto the machine planes and
// checks the travel; the dialog stays open until that passes or it is cancelled.
class TfFigNaMat : public PlainForm {
    Q_OBJECT
public:
    TfFigNaMat(QWidget* parent, Machine& machine, TJob& job, std::function<void(bool)> busyCursor = {});
    ~TfFigNaMat() override;

    TFloatEditU* feuSzerMat = nullptr;
    TFloatEditU* feuOdlMatOdFrontu = nullptr;
    QLabel* lSzerMat = nullptr;
    QLabel* lOdlMatOdFrontu = nullptr;
    QLabel* lSzerMatJm = nullptr;
    QLabel* lOdlMatOdFrontuJm = nullptr;
    QLabel* lSzerPlotera = nullptr;
    QLabel* pSzerPlotera = nullptr;
    QLabel* lSzerPloteraJm = nullptr;
    QPushButton* btnDalej = nullptr;
    QPushButton* btnAnuluj = nullptr;

    void btnDalejClick();
    // Enter starts, Escape cancels, in either edit; true when the key was used.
    bool feuSzerMatKeyDown(QKeyEvent* event);
    TwoPlaneMaterial& Logic() { return m_logic; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void FormCreate();
    TwoPlaneMaterial m_logic;
};

// Shows the dialog for the job: true when it closed with OK. A job that is
// not a merged pair of profiles is refused before the dialog shows.
bool ShowMaterialDialog(QWidget* parent, Machine& machine, TJob& job, std::function<void(bool)> busyCursor = {});
