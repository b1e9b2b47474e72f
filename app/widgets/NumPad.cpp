#include "app/widgets/NumPad.h"

#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

TNumPadForm* NumPadForm = nullptr;

namespace {
// Key positions by grid cell; the two layouts differ in the cell size and in
// the place of the right-hand keys.
constexpr int kSmallKey = 22;
constexpr int kSmallPitch = 24;
constexpr int kSmallWideKey = 41;
constexpr int kBigKey = 57;
constexpr int kBigPitch = 72;
constexpr int kMargin = 8;
}  // namespace

TNumPadForm::TNumPadForm(QWidget* parent) : PlainForm("TNumPadForm", parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    auto make = [this](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, b] { Press(b->text()); });
        return b;
    };
    for (int i = 0; i < 10; ++i)
        Buttons[static_cast<size_t>(i)] = make(QStringLiteral("Button%1").arg(i), QString::number(i));
    Buttonp = make(QStringLiteral("Buttonp"), DecimalSeparator());
    ButtonMinus = make(QStringLiteral("ButtonMinus"), QStringLiteral("-"));
    ButtonC = make(QStringLiteral("ButtonC"), QStringLiteral("C"));
    ButtonCE = make(QStringLiteral("ButtonCE"), QStringLiteral("CE"));

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, [this] { done(mrOk); });
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);
    connect(ButtonCancel, &QPushButton::clicked, this, &TNumPadForm::reject);

    ApplyLayout(false);
}

void TNumPadForm::Press(const QString& key)
{
    m_text = KeypadEdit(m_text, key);
    setWindowTitle(m_text);
}

void TNumPadForm::reject() { done(mrCancel); }

int TNumPadForm::ShowModalAt(QPoint topLeft)
{
    move(topLeft);
    return exec();
}

void TNumPadForm::ApplyLayout(bool big)
{
    // Digit keys 7 8 9 / 4 5 6 / 1 2 3, then 0, minus and the separator.
    const int digitCells[10][2] = {{0, 3}, {0, 2}, {1, 2}, {2, 2}, {0, 1},
                                   {1, 1}, {2, 1}, {0, 0}, {1, 0}, {2, 0}};
    QPushButton* const side[4] = {ButtonC, ButtonCE, ButtonCancel, ButtonOK};
    const int key = big ? kBigKey : kSmallKey;
    const int pitch = big ? kBigPitch : kSmallPitch;
    auto place = [&](QPushButton* b, int column, int row, int width) {
        b->setGeometry(kMargin + column * pitch, kMargin + row * pitch, width, key);
    };
    for (int i = 0; i < 10; ++i)
        place(Buttons[static_cast<size_t>(i)], digitCells[i][0], digitCells[i][1], key);
    place(ButtonMinus, 1, 3, key);
    place(Buttonp, 2, 3, key);
    // The right-hand column: a fourth key column in the large layout, narrow
    // wide keys beside the digits in the small one.
    for (int row = 0; row < 4; ++row)
        place(side[row], 3, row, big ? key : kSmallWideKey);

    // Fonts go back to the inherited ones first, so that switching layouts
    // never leaves a large caption behind.
    setFont(QFont());
    for (QPushButton* b : side)
        b->setFont(QFont());
    if (big) {
        setFixedSize(kMargin + 3 * pitch + key + kMargin, kMargin + 3 * pitch + key + kMargin);
        QFont f = font();
        f.setPointSize(14);
        setFont(f);
        f.setPointSize(10);
        for (QPushButton* b : side)
            b->setFont(f);
    } else {
        setFixedSize(129, 111);
    }
}

void TNumPadForm::showEvent(QShowEvent* event)
{
    // The window system showing it again (after minimising) is no new entry.
    if (event->spontaneous()) {
        PlainForm::showEvent(event);
        return;
    }
    m_text.clear();
    setWindowTitle(m_text);
    ApplyLayout(BigLayout);
    Buttonp->setText(DecimalSeparator());
    // Stay on the screen: open to the left of (or above) the edit when the
    // keypad would pass the screen's edge.
    QScreen* s = QGuiApplication::screenAt(pos());
    if (!s)
        s = screen();
    if (s)
        move(KeypadPosition(pos(), frameGeometry().size(), s->geometry()));
    PlainForm::showEvent(event);
}
