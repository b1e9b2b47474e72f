#pragma once
#include "app/widgets/PlainForm.h"

#include <QPoint>
#include <QString>
#include <array>

class QLabel;
class QPushButton;

// The on-screen keypad of the numeric edits, for entering numbers with a
// mouse or a touch screen. The number being entered shows above the keys (and
// in the caption, where the window system draws one); OK closes with mrOk,
// Cancel, Escape and the close button with mrCancel. Every showing starts
// with an empty number.
class TNumPadForm : public PlainForm {
    Q_OBJECT
public:
    explicit TNumPadForm(QWidget* parent = nullptr);

    // Large keys for touch use; set before showing.
    bool BigLayout = false;

    // Shows the keypad modally with its top-left corner at a point of the
    // screen (moved so that it stays on the screen); mrOk or mrCancel.
    int ShowModalAt(QPoint topLeft);

    // The number entered so far.
    QString Text() const { return m_text; }

    // The number being entered.
    QLabel* Display = nullptr;
    // The keys, named as the form names them.
    std::array<QPushButton*, 10> Buttons{};  // Button0 … Button9
    QPushButton* Buttonp = nullptr;          // the locale's decimal separator
    QPushButton* ButtonMinus = nullptr;
    QPushButton* ButtonC = nullptr;
    QPushButton* ButtonCE = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Press(const QString& key);
    void ShowText();
    void ApplyLayout(bool big);

    QString m_text;
};

// The keypad shared by TFloatEdit and TFloatEditU, created at program start
// with the other windows (none before that: those edits then use one of their own).
extern TNumPadForm* NumPadForm;
