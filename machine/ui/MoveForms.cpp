#include "machine/ui/MoveForms.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "app/widgets/FloatEdit.h"
#include "machine/MoveWindow.h"
#include "machine/WireSelection.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <string>

Tprzesun::Tprzesun(QWidget* parent, Machine& machine) : PlainForm("Tprzesun", parent), m_machine(machine)
{
    setWindowTitle(Tr("Move_wire", "caption"));
    // The window is as large as its texts ask, in every language; the two
    // test buttons stay out of the layout, below the client area, so that
    // only their mnemonics (Alt+T, Alt+G) reach them.
    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* group = new QGroupBox(Tr("Move_wire", "przesun.caption"), this);
    group->setObjectName("Przesun");
    auto* groupLayout = new QVBoxLayout(group);
    toCoordinates = new QRadioButton(Tr("Move_wire", "przesun.Item0"), group);
    byDistance = new QRadioButton(Tr("Move_wire", "przesun.Item1"), group);
    groupLayout->addWidget(toCoordinates);
    groupLayout->addWidget(byDistance);
    byDistance->setChecked(true);
    layout->addWidget(group, 0, 0, 3, 1);

    auto edit = [this, layout](const char* name, int row) {
        auto* e = new TFloatEdit(this);
        e->setObjectName(name);
        e->SetIncrement(1.0);
        layout->addWidget(e, row, 2);
        return e;
    };
    delta_x = edit("delta_x", 0);
    delta_y = edit("delta_y", 1);
    delta_z = edit("delta_z", 2);
    auto label = [this, layout](const QString& text, int row, int column, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        layout->addWidget(l, row, column);
        if (buddy)
            l->setBuddy(buddy);
        return l;
    };
    label("&X=", 0, 1, delta_x);
    label("&Y=", 1, 1, delta_y);
    m_label3 = label("&Z=", 2, 1, delta_z);
    m_unitX = label(QString(), 0, 3, nullptr);
    m_unitY = label(QString(), 1, 3, nullptr);
    label(QString::fromUtf8("°"), 2, 3, nullptr);

    Wykonaj = new QPushButton(Tr("Move_wire", "wykonaj.caption"), this);
    Wykonaj->setObjectName("Wykonaj");
    Wykonaj->setDefault(true);
    // Qt's own text for the button, in the program's language.
    auto* cancel = new QPushButton(QCoreApplication::translate("QPlatformTheme", "Cancel"), this);
    cancel->setObjectName("cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Wykonaj);
    buttons->addWidget(cancel);
    layout->addLayout(buttons, 3, 0, 1, 4);

    m_test = new QPushButton("&Test", this);
    m_test->setObjectName("test");
    m_heater = new QPushButton("Test&Grzalki", this);
    m_heater->setObjectName("TestGrzalki");

    connect(Wykonaj, &QPushButton::clicked, this, &Tprzesun::WykonajClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_test, &QPushButton::clicked, this, &Tprzesun::testClick);
    connect(m_heater, &QPushButton::clicked, this, &Tprzesun::TestGrzalkiClick);
}

void Tprzesun::resizeEvent(QResizeEvent* event)
{
    PlainForm::resizeEvent(event);
    // Out of sight, whatever size the texts gave the window.
    m_test->adjustSize();
    m_heater->adjustSize();
    m_test->move(8, height() + 14);
    m_heater->move(m_test->geometry().right() + 6, height() + 14);
}

void Tprzesun::showEvent(QShowEvent* event)
{
    PlainForm::showEvent(event);
    FormActivate();
}

void Tprzesun::FormActivate()
{
    const MoveWindowView v = MoveWindowActivate(Settings(), WireSelection(), HasSwitch("noXside"));
    setWindowTitle(v.caption);
    if (!v.xEnabled)
        delta_x->SetValue(0);
    delta_x->setEnabled(v.xEnabled);
    m_unitX->setText(v.unitLabel);
    m_unitY->setText(v.unitLabel);
    m_label3->setText(v.label3);
    m_label3->setToolTip(v.label3Hint);
    delta_z->setToolTip(v.label3Hint);
}

void Tprzesun::WykonajClick()
{
    MoveWindowExecute(m_machine, Settings(), WireSelection(), toCoordinates->isChecked() ? 0 : 1,
                      delta_x->GetValue(), delta_y->GetValue(), delta_z->GetValue());
    accept();
}

void Tprzesun::testClick()
{
    LinkTest(m_machine, CurrentLengthUnit, delta_x->GetValue(), delta_y->GetValue(),
             delta_z->GetValue(), [this](const QString& counts) {
                 Wykonaj->setText(counts);
                 Wykonaj->repaint();
             });
}

void Tprzesun::TestGrzalkiClick() { HeaterTest(m_machine); }

TPunkty_bazowe::TPunkty_bazowe(QWidget* parent, Machine& machine, std::function<MachineOperations*()> operations)
    : PlainForm("TPunkty_bazowe", parent),
      m_machine(machine),
      m_operations(std::move(operations)),
      m_points(ProgramDir + "base.txt")
{
    m_points.Load();
    auto* layout = new QGridLayout(this);
    lista = new QListWidget(this);
    lista->setObjectName("lista");
    layout->addWidget(lista, 0, 0, 4, 1);
    auto button = [this, layout](const char* name, int row) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        layout->addWidget(b, row, 1);
        return b;
    };
    auto* dodaj = button("Dodaj", 0);
    usun = button("usun", 1);
    ustaw = button("ustaw", 2);
    auto* anuluj = button("anuluj", 3);
    usun->setEnabled(false);
    ustaw->setEnabled(false);

    // The list is left as it is: refilled, it would forget the item of the
    // first click, and a double click would never come.
    connect(lista, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        m_points.listaClick(lista->row(item));
        ShowButtons();
    });
    connect(lista, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_points.listaClick(lista->row(item));
        Go();
    });
    connect(dodaj, &QPushButton::clicked, this, [this] {
        m_points.DodajClick(CurrentLengthUnit);
        ShowList();
    });
    connect(usun, &QPushButton::clicked, this, [this] {
        m_points.usunClick();
        ShowList();
    });
    connect(ustaw, &QPushButton::clicked, this, &TPunkty_bazowe::Go);
    connect(anuluj, &QPushButton::clicked, this, &QDialog::reject);
    ShowList();
}

// The list is written at every change and once more at the end.
TPunkty_bazowe::~TPunkty_bazowe() { m_points.Save(); }

void TPunkty_bazowe::showEvent(QShowEvent* event)
{
    PlainForm::showEvent(event);
    setWindowTitle(Tr("Base_points", "caption"));
    for (const char* name : {"anuluj", "ustaw", "Dodaj", "usun"})
        findChild<QPushButton*>(name)->setText(Tr("Base_points", (std::string(name) + ".Caption").c_str()));
}

void TPunkty_bazowe::ShowList()
{
    const QSignalBlocker quiet(lista);
    lista->clear();
    lista->addItems(m_points.lista);
    // As wide as its longest line and the bar of a long list: a point is read
    // whole, in every language's decimal form, without scrolling sideways.
    lista->setMinimumWidth(lista->sizeHintForColumn(0) + 2 * lista->frameWidth() +
                           lista->verticalScrollBar()->sizeHint().width());
    lista->setCurrentRow(m_points.ItemIndex);
    ShowButtons();
}

void TPunkty_bazowe::ShowButtons()
{
    usun->setEnabled(m_points.usunEnabled);
    ustaw->setEnabled(m_points.ustawEnabled);
}

void TPunkty_bazowe::Go()
{
    MachineOperations* ops = m_operations ? m_operations() : nullptr;
    if (!ops)
        return;
    if (m_points.ustawClick(m_machine, *ops, CurrentLengthUnit) == BasePoints::Go::Close)
        accept();
}
