#pragma once
#include "app/widgets/PlainForm.h"
#include "production/SerialCutParams.h"

#include <vector>

class Machine;
class QEvent;
class QLabel;
class QPushButton;
class QTableWidget;
class TFltEdit;
class TFltEditU;

// The serial-cut parameters: the angle each window's piece turns after it is
// cut, how often the whole series repeats downwards and by how much.
class TfDlgSeryjne : public PlainForm {
    Q_OBJECT
public:
    // One grid row per entry of `rows`, bound to that row's window; the
    // status is read from `machine` when accepting (none: not read).
    explicit TfDlgSeryjne(QWidget* parent = nullptr, std::vector<SerialCutRow> rows = {},
                          Machine* machine = nullptr);

    QTableWidget* sgKatyObrotu = nullptr;
    TFltEdit* felloscPowtorzenSer = nullptr;
    TFltEditU* feuY_Przesuniecie = nullptr;
    QLabel* lIloscPowtorzenSer = nullptr;
    QLabel* lIloscPowtorzenSerRazy = nullptr;
    QLabel* lPrzesuniecie = nullptr;
    QLabel* lPrzesuniecieJm = nullptr;
    QPushButton* btnZatwierdz = nullptr;
    QPushButton* btnAnuluj = nullptr;
    QPushButton* btnParDomyslne = nullptr;

public slots:
    void btnZatwierdzClick();
    void btnParDomyslneClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::vector<SerialCutRow> m_rows;
    Machine* m_machine;
};

// Widens columns first..last of a grid to the text of `row` with two spaces on
// each side, in the grid's font; never narrows.
void FitGridColumns(QTableWidget* grid, int firstColumn, int lastColumn, int row);

// Creates the dialog into `form`, shows it modally and frees it: 1 when
// confirmed, 2 when cancelled.
int ShowDlgSeryjne(QWidget* parent, TfDlgSeryjne*& form, std::vector<SerialCutRow> rows, Machine* machine);
