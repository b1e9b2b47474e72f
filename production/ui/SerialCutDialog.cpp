#include "production/ui/SerialCutDialog.h"

#include "app/CommandLine.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
bool IsEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Enter while a cell is being edited takes the text and moves one row down
// (not past the last row); the key goes no further.
class AngleDelegate : public QStyledItemDelegate {
public:
    explicit AngleDelegate(QTableWidget* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

protected:
    bool eventFilter(QObject* editor, QEvent* event) override
    {
        if (!IsEnter(event))
            return QStyledItemDelegate::eventFilter(editor, event);
        auto* w = static_cast<QWidget*>(editor);
        const int row = m_grid->currentRow(), column = m_grid->currentColumn();
        emit commitData(w);
        emit closeEditor(w, NoHint);
        if (row >= 0 && row < m_grid->rowCount() - 1)
            m_grid->setCurrentCell(row + 1, column);
        return true;
    }

private:
    QTableWidget* m_grid;
};

QLabel* Label(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

QPushButton* Button(QWidget* parent, const char* name)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}
}  // namespace

void FitGridColumns(QTableWidget* grid, int firstColumn, int lastColumn, int row)
{
    const QFontMetrics metrics(grid->font());
    for (int c = firstColumn; c <= lastColumn && c < grid->columnCount(); ++c) {
        QString text;
        if (row < 0) {
            if (const QTableWidgetItem* h = grid->horizontalHeaderItem(c))
                text = h->text();
        } else if (const QTableWidgetItem* item = grid->item(row, c)) {
            text = item->text();
        }
        const int width = metrics.horizontalAdvance("  " + text + "  ");
        if (width > grid->columnWidth(c))
            grid->setColumnWidth(c, width);
    }
}

TfDlgSeryjne::TfDlgSeryjne(QWidget* parent, std::vector<SerialCutRow> rows, Machine* machine)
    : PlainForm("fDlgSeryjne", parent), m_rows(std::move(rows)), m_machine(machine)
{
    setWindowTitle(Tr("Serial_cut", "fDlgSeryjne.caption"));

    sgKatyObrotu = new QTableWidget(0, 2, this);
    sgKatyObrotu->setObjectName("sgKatyObrotu");
    sgKatyObrotu->verticalHeader()->hide();
    sgKatyObrotu->setSelectionMode(QAbstractItemView::SingleSelection);
    sgKatyObrotu->setEditTriggers(QAbstractItemView::AllEditTriggers);
    sgKatyObrotu->setItemDelegate(new AngleDelegate(sgKatyObrotu));
    sgKatyObrotu->installEventFilter(this);
    sgKatyObrotu->setHorizontalHeaderLabels({Tr("Serial_cut", "plik"), Tr("Serial_cut", "kat")});
    sgKatyObrotu->setColumnWidth(0, 200);
    sgKatyObrotu->setColumnWidth(1, 50);
    FitGridColumns(sgKatyObrotu, 0, 1, -1);
    const QString angle = DefaultSerialAngle(static_cast<int>(m_rows.size()));
    for (const SerialCutRow& r : m_rows) {
        const int row = sgKatyObrotu->rowCount();
        sgKatyObrotu->insertRow(row);
        auto* file = new QTableWidgetItem(r.file);
        file->setFlags(file->flags() & ~Qt::ItemIsEditable);
        sgKatyObrotu->setItem(row, 0, file);
        sgKatyObrotu->setItem(row, 1, new QTableWidgetItem(angle));
        FitGridColumns(sgKatyObrotu, 0, 1, row);
    }

    lIloscPowtorzenSer = Label(this, "lIloscPowtorzenSer");
    lIloscPowtorzenSerRazy = Label(this, "lIloscPowtorzenSerRazy");
    lPrzesuniecie = Label(this, "lPrzesuniecie");
    lPrzesuniecieJm = Label(this, "lPrzesuniecieJm");
    lIloscPowtorzenSer->setText(Tr("Serial_cut", "lIloscPowtorzenSer.caption"));
    lIloscPowtorzenSerRazy->setText(Tr("Serial_cut", "lIloscPowtorzenSerRazy.caption"));
    lPrzesuniecie->setText(Tr("Serial_cut", "lPrzesuniecie.caption"));
    for (QLabel* l : {lIloscPowtorzenSer, lPrzesuniecie})
        KeepWidthWhenBold(l);

    felloscPowtorzenSer = new TFltEdit(this);
    felloscPowtorzenSer->setObjectName("felloscPowtorzenSer");
    felloscPowtorzenSer->SetMinValue(0);
    felloscPowtorzenSer->SetMaxValue(999999);
    felloscPowtorzenSer->SetDigit(0);
    felloscPowtorzenSer->SetValue(0);
    feuY_Przesuniecie = new TFltEditU(this);
    feuY_Przesuniecie->setObjectName("feuY_Przesuniecie");
    feuY_Przesuniecie->SetMinValue(0);
    feuY_Przesuniecie->SetMaxValue(9999999);
    feuY_Przesuniecie->SetValue(0);
    for (QWidget* e : {static_cast<QWidget*>(felloscPowtorzenSer), static_cast<QWidget*>(feuY_Przesuniecie)})
        e->installEventFilter(this);

    btnZatwierdz = Button(this, "btnZatwierdz");
    btnAnuluj = Button(this, "btnAnuluj");
    btnParDomyslne = Button(this, "btnParDomyslne");
    btnAnuluj->setText(Tr("Duplication_parameters", "btnAnuluj.Caption"));
    btnZatwierdz->setText(Tr("Duplication_parameters", "btnZatwierdz.Caption"));
    btnParDomyslne->setText(Tr("Duplication_parameters", "btnParDomyslne.Caption"));

    auto* fields = new QGridLayout;
    fields->addWidget(lIloscPowtorzenSer, 0, 0);
    fields->addWidget(felloscPowtorzenSer, 0, 1);
    fields->addWidget(lIloscPowtorzenSerRazy, 0, 2);
    fields->addWidget(lPrzesuniecie, 1, 0);
    fields->addWidget(feuY_Przesuniecie, 1, 1);
    fields->addWidget(lPrzesuniecieJm, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnParDomyslne);
    buttons->addStretch();
    buttons->addWidget(btnZatwierdz);
    buttons->addWidget(btnAnuluj);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sgKatyObrotu);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(btnZatwierdz, &QPushButton::clicked, this, &TfDlgSeryjne::btnZatwierdzClick);
    connect(btnAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnParDomyslne, &QPushButton::clicked, this, &TfDlgSeryjne::btnParDomyslneClick);
}

void TfDlgSeryjne::btnParDomyslneClick()
{
    const QString angle = DefaultSerialAngle(static_cast<int>(m_rows.size()));
    for (int row = 0; row < sgKatyObrotu->rowCount(); ++row)
        sgKatyObrotu->item(row, 1)->setText(angle);
}

void TfDlgSeryjne::btnZatwierdzClick()
{
    // What is still being typed counts.
    if (QWidget* editor = sgKatyObrotu->indexWidget(sgKatyObrotu->currentIndex()))
        emit sgKatyObrotu->itemDelegate()->commitData(editor);
    if (!felloscPowtorzenSer->LeaveField() || !feuY_Przesuniecie->LeaveField())
        return;

    std::vector<QString> angles;
    for (int row = 0; row < sgKatyObrotu->rowCount(); ++row)
        angles.push_back(sgKatyObrotu->item(row, 1)->text());
    const int failed = AcceptSerialAngles(m_rows, angles);
    if (failed >= 0) {
        sgKatyObrotu->setCurrentCell(failed, 1);
        sgKatyObrotu->setFocus();
        return;
    }
    if (!AcceptSerialRepeats(m_machine, Settings(), felloscPowtorzenSer->GetValue(), feuY_Przesuniecie->GetValue())) {
        felloscPowtorzenSer->setFocus();
        return;
    }
    accept();
}

bool TfDlgSeryjne::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == sgKatyObrotu && IsEnter(event))
        return true;  // Enter never closes the dialog from the grid
    QLabel* label = watched == felloscPowtorzenSer ? lIloscPowtorzenSer
                    : watched == feuY_Przesuniecie ? lPrzesuniecie
                                                   : nullptr;
    if (label && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        SetBold(label, event->type() == QEvent::FocusIn);
    return PlainForm::eventFilter(watched, event);
}

void TfDlgSeryjne::showEvent(QShowEvent* event)
{
    SetFormUnits(this);
    lPrzesuniecieJm->setText("[" + UnitName(CurrentLengthUnit) + "]");
    if (HasSwitch("touchPanel"))
        EnableTouchInput(this);
    PlainForm::showEvent(event);
}

int ShowDlgSeryjne(QWidget* parent, TfDlgSeryjne*& form, std::vector<SerialCutRow> rows, Machine* machine)
{
    delete form;
    form = new TfDlgSeryjne(parent, std::move(rows), machine);
    const int result = form->exec() == QDialog::Accepted ? mrOk : mrCancel;
    delete form;
    form = nullptr;
    return result;
}
