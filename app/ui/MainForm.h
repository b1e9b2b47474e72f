#pragma once
#include "app/SerialFiles.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <functional>
#include <memory>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolButton;
class QWidget;
class TMDIChild;
class tInterfejs;

// The main window: the frame of the job windows, with the menus, the speed
// buttons and the status bar.
class ControllerLink;
class Machine;
class MachineOperations;
class ProgramMachine;
struct CutStartHooks;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    TMainForm();
    ~TMainForm() override;

    // False when the translator could not load a language file: the program ends.
    bool Created() const { return m_created; }

    QMdiArea* MdiArea() const { return m_mdiArea; }
    // A new, empty job window, made the active one.
    TMDIChild* NewJobWindow(const QString& name = QString());
    // The active job window, or nullptr.
    TMDIChild* ActiveJob() const;
    // The job windows in window order.
    QList<TMDIChild*> JobWindows() const;

    // Opens drawings as the work mode needs: one window per file, a folder of
    // numbered files (serial cutting), a drawing split by pen colour (front
    // and back), or a front and a side drawing side by side (transverse).
    void OpenFiles(const QString& initialFolder, bool rememberFolder);
    QString BuildOpenFilter() const;
    // The open dialog, replaceable (tests): title, folder, filter -> file or empty.
    std::function<QString(const QString&, const QString&, const QString&)> ChooseFileToOpen;
    // The documents and exports of the File menu.
    void miInstrObslugiClick();
    void miKatalogClick();
    void miPrzykladyClick();
    void FileSaveAsHPGLClick();
    void miSaveSerialClick();
    // Opens a document through the desktop, replaceable (tests): false when
    // nothing could show it.
    std::function<bool(const QString& path)> OpenDocument;
    // The save dialog, replaceable (tests): title, folder, filter -> file or empty.
    std::function<QString(const QString&, const QString&, const QString&)> ChooseFileToSave;
    // The folder window, replaceable (tests): caption, choose caption, initial
    // folder, proposed name -> true with the folder.
    std::function<bool(const QString&, const QString&, const QString&, const QString&, QString&)> ChooseFolder;
    // The front and back windows of an independent two-wire cut merged into
    // the empty `mix` window; the sources close. When their paths can't be
    // paired the operator is told (the box captioned `caption`) and all three
    // stay open.
    void pomieszaj(TMDIChild* front, TMDIChild* back, TMDIChild* mix, const QString& caption);
    // Job windows side by side.
    void TileVertically();
    // Every job window inside the visible area, each a title bar lower than
    // the one before and large enough to show its job; the active one on top.
    void CascadeJobWindows();

    SerialFileTable SerialFileNames;
    QString SerialFolder;
    // The front and side windows of a transverse cut; empty once closed.
    QPointer<TMDIChild> FrontWindow;
    QPointer<TMDIChild> SideWindow;

    // Menu items.
    QMenu* File1 = nullptr;
    QMenu* Cicie1 = nullptr;
    QMenu* Window1 = nullptr;
    QAction* FileOpenItem = nullptr;
    QAction* FileSaveAsHPGL = nullptr;
    QAction* FileCloseItem = nullptr;
    QAction* miDuplikujPlt = nullptr;
    QAction* miGenSeryjnego3D = nullptr;
    QAction* miSaveSerial = nullptr;
    QAction* miZaginaczProfili = nullptr;
    QAction* info = nullptr;
    QAction* Symulacja = nullptr;
    QAction* About1 = nullptr;
    QAction* miMemoryInfo = nullptr;
    QAction* miInstrObslugi = nullptr;
    QAction* miPrzyklady = nullptr;
    QAction* miKatalog = nullptr;
    QAction* FileExitItem = nullptr;
    QAction* Start1 = nullptr;
    QAction* Wstrzymaj1 = nullptr;
    QAction* Kontynuacja1 = nullptr;
    QAction* sterowanie = nullptr;
    QAction* Konfiguracja = nullptr;
    QAction* WindowCascadeItem = nullptr;
    QAction* WindowTileItem = nullptr;
    QAction* CloseAll = nullptr;
    QAction* Window1Action = nullptr;


    // Speed buttons.
    QWidget* pPrzyciski = nullptr;
    QToolButton* OpenBtn = nullptr;
    QToolButton* SpeedSymulacja = nullptr;
    QToolButton* SpeedStart = nullptr;
    QToolButton* SpeedStop = nullptr;
    QToolButton* Skont = nullptr;
    QToolButton* sbSideUp = nullptr;
    QToolButton* sbSideDown = nullptr;

public slots:
    void UpdateMenuItems();
    void FileOpenItemClick();
    void FileCloseItemClick();
    void CloseAllClick();
    void WindowCascadeItemClick();
    void WindowTileItemClick();
    void FileExitItemClick();
    void HelpAboutItemClick();
    void infoClick();
    void SymulacjaClick();
    void SterowanieClick();
    void KonfiguracjaClick();
    void miGenSeryjnego3DClick();
    void miDuplikujPltClick();
    void miZaginaczProfiliClick();
    void Start1Click();
    void Wstrzymaj1Click();
    void Kontynuacja1Click();
    // After the front cut of a transverse job: the side cut of the same job.
    void ContinueSideCut();

    // The machine the program talks to.
    Machine& AttachedMachine();
    // The machine talks through the USB link from now on.
    void AttachUsbLink(ControllerLink& link);
    // Frees the USB link; the machine is not connected from then on.
    void ReleaseUsbLink();
    // The machine operations START, STOP and continue run through (pause,
    // continue, go-to-point). The manual control panel is meant to own them;
    // until it does they live here, over the attached machine.
    MachineOperations& Operations();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenus();
    void BuildSpeedButtons();
    void TranslateMainForm();
    void MachineNotConnected();
    CutStartHooks CutHooks();

    bool m_created = false;
    QMdiArea* m_mdiArea = nullptr;
    std::unique_ptr<QObject> m_spaceKey;
    std::unique_ptr<ProgramMachine> m_machine;
    std::unique_ptr<MachineOperations> m_operations;
};

// The size a new job window opens at inside an area of the main window: two
// thirds of it, at least 480 x 360 where there is room for that, never larger.
QSize JobWindowSize(QSize area);
// Where job window number `index` of a cascade goes: each `step` pixels down
// and right of the one before, back at the top-left corner when the next would
// leave the area.
QPoint CascadePosition(QSize area, QSize size, qsizetype index, int step);

// Extension of a file name or caption as the program compares it: from the last
// "." after the last folder separator, including the dot; empty when none.
QString ExtractFileExt(const QString& name);
