#include "app/widgets/QtMessagePresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {
QWidget* Owner() { return QApplication::activeWindow(); }

void Prepare(QMessageBox& box, const MessageRequest& request)
{
    box.setText(QString(request.text).replace("\r\n", "\n"));
    box.setWindowTitle(request.caption);
    if (request.rightToLeft)
        box.setLayoutDirection(Qt::RightToLeft);
}
}  // namespace

void QtMessagePresenter::Show(const MessageRequest& request)
{
    QMessageBox box(Owner());
    Prepare(box, request);
    box.setIcon(request.kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

int QtMessagePresenter::Ask(const MessageRequest& request)
{
    QMessageBox box(Owner());
    Prepare(box, request);
    if (request.caption.isEmpty())
        box.setWindowTitle(QApplication::translate("QMessageBox", "Confirm"));
    box.setIcon(QMessageBox::Question);
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
    box.setStandardButtons(buttons);
    switch (box.exec()) {
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
