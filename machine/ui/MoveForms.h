#pragma once
#include "app/widgets/PlainForm.h"
#include "machine/BasePoints.h"

class Machine;
class MachineOperations;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class TFloatEdit;

// Move window: the selected wires to or by given coordinates, and two service
// tests reached only by their keys (Alt+T the link, Alt+G the heater).
class Tprzesun : public PlainForm {
    Q_OBJECT
public:
    Tprzesun(QWidget* parent, Machine& machine);

    void WykonajClick();
    void testClick();
    void TestGrzalkiClick();

    QRadioButton* toCoordinates = nullptr;
    QRadioButton* byDistance = nullptr;
    TFloatEdit* delta_x = nullptr;
    TFloatEdit* delta_y = nullptr;
    TFloatEdit* delta_z = nullptr;
    QPushButton* Wykonaj = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormActivate();

    Machine& m_machine;
    QLabel* m_label3 = nullptr;
    QLabel* m_unitX = nullptr;
    QLabel* m_unitY = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_heater = nullptr;
};

// Base points of the front carriage: kept in "base.txt" beside the program,
// reached again with both carriages.
class TPunkty_bazowe : public PlainForm {
    Q_OBJECT
public:
    // `operations` gives the go-to; it is asked for when a point is reached,
    // since the panel that owns them is created after this window.
    TPunkty_bazowe(QWidget* parent, Machine& machine, std::function<MachineOperations*()> operations);
    ~TPunkty_bazowe() override;
    BasePoints& Points() { return m_points; }

    QListWidget* lista = nullptr;
    QPushButton* usun = nullptr;
    QPushButton* ustaw = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowList();
    void ShowButtons();
    void Go();

    Machine& m_machine;
    std::function<MachineOperations*()> m_operations;
    BasePoints m_points;
};
