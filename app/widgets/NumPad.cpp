#include "app/widgets/NumPad.h"

#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

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
constexpr int kBigDisplay = 40;
// Room around a caption inside its key.
constexpr int kCaptionPadding = 12;
}  // namespace

TNumPadForm::TNumPadForm(QWidget* parent) : PlainForm("TNumPadForm", parent)
{
    // A close button alone: a window system offers minimise and maximise
    // too when a window asks for no button at all.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    Display = new QLabel(this);
    Display->setObjectName(QStringLiteral("Display"));
    Display->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Display->setAutoFillBackground(true);
    Display->setBackgroundRole(QPalette::Base);

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
    ShowText();
}

void TNumPadForm::ShowText()
{
    Display->setText(m_text);
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
    // Fonts go back to the inherited ones first, so that switching layouts
    // never leaves a large caption behind.
    QPushButton* const side[4] = {ButtonC, ButtonCE, ButtonCancel, ButtonOK};
    setFont(QFont());
    for (QPushButton* b : side)
        b->setFont(QFont());
    if (big) {
        QFont f = font();
        f.setPointSize(14);
        setFont(f);
        f.setPointSize(10);
        for (QPushButton* b : side)
            b->setFont(f);
    }

    // The keys keep their sizes where the captions fit, and grow where the
    // font needs more room.
    const QFontMetrics digits(font());
    const int key = std::max(big ? kBigKey : kSmallKey, digits.height() + 4);
    const int pitch = key + (big ? kBigPitch - kBigKey : kSmallPitch - kSmallKey);
    int sideWidth = big ? key : kSmallWideKey;
    for (QPushButton* b : side)
        sideWidth = std::max(sideWidth, b->fontMetrics().horizontalAdvance(b->text()) + kCaptionPadding);
    const int displayHeight = big ? std::max(kBigDisplay, digits.height() + 8) : key;
    const int top = kMargin + displayHeight + kMargin / 2;

    // Digit keys 7 8 9 / 4 5 6 / 1 2 3, then 0, minus and the separator.
    const int digitCells[10][2] = {{0, 3}, {0, 2}, {1, 2}, {2, 2}, {0, 1},
                                   {1, 1}, {2, 1}, {0, 0}, {1, 0}, {2, 0}};
    auto place = [&](QPushButton* b, int column, int row, int width) {
        b->setGeometry(kMargin + column * pitch, top + row * pitch, width, key);
    };
    for (int i = 0; i < 10; ++i)
        place(Buttons[static_cast<size_t>(i)], digitCells[i][0], digitCells[i][1], key);
    place(ButtonMinus, 1, 3, key);
    place(Buttonp, 2, 3, key);
    // The right-hand column: a fourth key column in the large layout, wide
    // keys beside the digits in the small one.
    for (int row = 0; row < 4; ++row)
        place(side[row], 3, row, sideWidth);

    const int width = kMargin + 3 * pitch + sideWidth + kMargin;
    Display->setGeometry(kMargin, kMargin, width - 2 * kMargin, displayHeight);
    setFixedSize(width, top + 3 * pitch + key + kMargin);
}

void TNumPadForm::showEvent(QShowEvent* event)
{
    // The window system showing it again (after minimising) is no new entry.
    if (event->spontaneous()) {
        PlainForm::showEvent(event);
        return;
    }
    m_text.clear();
    ShowText();
    Buttonp->setText(DecimalSeparator());
    ApplyLayout(BigLayout);
    // Stay on the screen: open to the left of (or above) the edit when the
    // keypad would pass the screen's edge.
    QScreen* s = QGuiApplication::screenAt(pos());
    if (!s)
        s = screen();
    if (s)
        move(KeypadPosition(pos(), frameGeometry().size(), s->geometry()));
    PlainForm::showEvent(event);
}
