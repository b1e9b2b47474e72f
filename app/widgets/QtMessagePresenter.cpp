#include "app/widgets/QtMessagePresenter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QWidget* Owner() { return QApplication::activeWindow(); }

void Prepare(QMessageBox& box, const MessageRequest& request)
{
    box.setText(QString(request.text).replace("\r\n", "\n"));
    box.setWindowTitle(request.caption);
    if (request.rightToLeft)
        box.setLayoutDirection(Qt::RightToLeft);
}

// A box sizes itself to its text alone; a longer caption (some messages say
// it all there and show a path below) would be cut in the title bar. Room for
// the window manager's buttons besides, never past the screen. Called last:
// setting the icon lays the box out anew.
void FitCaption(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int title = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(box.windowTitle());
    const int width = std::min(title + 160, screen ? screen->availableGeometry().width() * 9 / 10 : title + 160);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}
}  // namespace

namespace {
QScreen* ScreenOf(QWidget* parent)
{
    QScreen* screen = parent ? parent->screen() : nullptr;
    return screen ? screen : QGuiApplication::primaryScreen();
}

// The box for a long text: its first line as the message, all of it below in
// a read-only text at most half the screen high.
std::unique_ptr<QDialog> ScrollingBox(const MessageRequest& request, const QString& text, QWidget* parent,
                                      const QRect& screen)
{
    auto box = std::make_unique<QDialog>(parent);
    box->setWindowTitle(request.caption);
    if (request.rightToLeft)
        box->setLayoutDirection(Qt::RightToLeft);
    auto* layout = new QVBoxLayout(box.get());
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(box.get());
    const auto standard = request.kind == MessageKind::Error ? QStyle::SP_MessageBoxCritical
                                                             : QStyle::SP_MessageBoxInformation;
    const int iconSize = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box.get());
    icon->setPixmap(box->style()->standardIcon(standard, nullptr, box.get()).pixmap(iconSize, iconSize));
    top->addWidget(icon, 0, Qt::AlignTop);
    const qsizetype firstBreak = text.indexOf('\n');
    auto* lead = new QLabel(text.left(firstBreak), box.get());
    lead->setWordWrap(true);
    top->addWidget(lead, 1);
    layout->addLayout(top);
    auto* all = new QPlainTextEdit(box.get());
    all->setObjectName("messageText");
    all->setReadOnly(true);
    all->setLineWrapMode(QPlainTextEdit::NoWrap);
    all->setPlainText(text.mid(firstBreak + 1));
    all->setMaximumHeight(screen.height() / 2);
    all->setMinimumWidth(std::min(screen.width() * 2 / 3, 640));
    layout->addWidget(all, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box.get());
    QObject::connect(buttons, &QDialogButtonBox::accepted, box.get(), &QDialog::accept);
    layout->addWidget(buttons);
    box->setMaximumSize(screen.size());
    return box;
}
}  // namespace

std::unique_ptr<QDialog> MakeMessageBox(const MessageRequest& request, QWidget* parent)
{
    const QString text = QString(request.text).replace("\r\n", "\n");
    const QRect screen = ScreenOf(parent)->availableGeometry();
    const int lineHeight = QFontMetrics(QApplication::font()).lineSpacing();
    // A box of more lines than a third of the screen holds: the rest of the
    // box (title, buttons, margins) must fit as well.
    if (lineHeight > 0 && (text.count('\n') + 1) * lineHeight > screen.height() / 3)
        return ScrollingBox(request, text, parent, screen);
    auto box = std::make_unique<QMessageBox>(parent);
    Prepare(*box, request);
    box->setIcon(request.kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information);
    box->setStandardButtons(QMessageBox::Ok);
    FitCaption(*box);
    return box;
}

void QtMessagePresenter::Show(const MessageRequest& request) { MakeMessageBox(request, Owner())->exec(); }

std::unique_ptr<QMessageBox> MakeQuestionBox(const MessageRequest& request, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    Prepare(*box, request);
    if (request.caption.isEmpty())
        box->setWindowTitle(QApplication::translate("QMessageBox", "Confirm"));
    box->setIcon(QMessageBox::Question);
    QMessageBox::StandardButtons buttons;
    switch (request.buttons) {
    case MessageButtons::YesCancel:
        buttons = QMessageBox::Yes | QMessageBox::Cancel;
        break;
    case MessageButtons::YesNoCancel:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case MessageButtons::OkCancel:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case MessageButtons::OkCancelRetry:
        buttons = QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Retry;
        break;
    case MessageButtons::YesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    }
    box->setStandardButtons(buttons);
    if (request.keepsWorkByDefault)
        box->setDefaultButton(buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Cancel);
    FitCaption(*box);
    return box;
}

int QtMessagePresenter::Ask(const MessageRequest& request)
{
    switch (MakeQuestionBox(request, Owner())->exec()) {
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    case QMessageBox::Ok:
        return mrOk;
    case QMessageBox::Retry:
        return mrRetry;
    default:
        return mrCancel;
    }
}
