#pragma once
#include "job/Job.h"

#include <QWidget>
#include <functional>
#include <memory>

class QProgressDialog;
class QStatusBar;
class JobView;

// The job window: one job shown in a child window of the main window. The job
// itself (figures, loading, planning) lives in TJob; the window shows it.
class TMDIChild : public QWidget, public JobHost {
    Q_OBJECT
public:
    explicit TMDIChild(QWidget* parent = nullptr);
    ~TMDIChild() override;

    TJob& Job() { return m_job; }
    const TJob& Job() const { return m_job; }

    // Loads and plans the drawing; the window closes when that fails, however
    // it fails.
    bool Load(const QString& fileName, uint8_t penFilter);

    QStatusBar* StatusBar() const { return m_statusBar; }
    JobView* View() const { return m_view; }
    // The window has been asked to close and is on its way out.
    bool Closing() const { return m_closing; }

    // What a right click on a job opens: the job information window. The
    // main window sets it; without it a right click does nothing.
    static void SetInfoWindowHook(std::function<void()> hook);

    // The machine a job written from this window tells its heater output to
    // (the program's machine; nullptr: none).
    void SetMachine(class Machine* machine) { m_machine = machine; }

    // JobHost
    void SetCaption(const QString& caption) override;
    void SetOwnStatus(const QString& text) override;
    void SetBusy(bool busy) override;
    void CloseWindow() override;
    PlanProgress* BeginPlanning() override;
    void EndPlanning() override;
    class Machine* AttachedMachine() override { return m_machine; }
    // Planning is running in this window (it can't be closed meanwhile).
    bool Planning() const { return m_planning != nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The caption in the title bar of the window it sits in, as much of its
    // end as the bar holds: a narrow window (a series tiled by the dozen)
    // still shows the file's name and number at the end of the path.
    void FitTitleBar();

    TJob m_job;
    JobView* m_view;
    QStatusBar* m_statusBar;
    class Machine* m_machine = nullptr;
    bool m_busy = false;
    bool m_closing = false;
    bool m_closeAfterPlanning = false;
    class Progress;
    std::unique_ptr<Progress> m_planning;
};
