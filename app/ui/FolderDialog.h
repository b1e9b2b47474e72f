#pragma once
#include "app/widgets/PlainForm.h"

#include <QString>
#include <functional>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

// Folder choice: a tree of the file system's folders, the top places in a
// combo above it, and a command that makes a new folder in the selected one.
class TfDlgDir : public PlainForm {
    Q_OBJECT
public:
    explicit TfDlgDir(QWidget* parent = nullptr);

    // Filled by the caller before showing.
    QString Caption;         // the window's caption
    QString ChooseCaption;   // the choose button's caption
    QString InitialFolder;   // selected and expanded when shown; empty: none
    QString ProposedName;    // offered for a new folder
    // The folder chosen with the choose button; empty until then.
    QString ChosenFolder;

    // The input box of the new-folder command: false when cancelled; the name
    // comes in as proposed and goes out as typed. Replaceable (tests).
    std::function<bool(QString& name)> AskFolderName;
    std::function<void()> Beep;

    QWidget* Panel1 = nullptr;
    QComboBox* ShellComboBox1 = nullptr;
    QTreeView* ShellTreeView1 = nullptr;
    QPushButton* btnZapisz = nullptr;
    QPushButton* btnNewFolder = nullptr;
    QPushButton* btnAnuluj = nullptr;

    // The folder selected in the tree; empty when none is.
    QString SelectedFolder() const;
    // Selects a folder in the tree, expanded and in sight.
    void GoToFolder(const QString& path);

public slots:
    void btnZapiszClick();
    void btnNewFolderClick();
    void btnAnulujClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SelectionChanged();
    // The folder last gone to scrolled into sight again, while it is still
    // the current one.
    void KeepInSight();

    QFileSystemModel* m_model = nullptr;
    QString m_wentTo;  // the folder GoToFolder selected
};

// Shows the folder choice modally; true and the chosen folder when the
// operator chose one, false (and `folder` untouched) when cancelled.
bool SelectFolder(const QString& caption, const QString& chooseCaption, const QString& initialFolder,
                  const QString& proposedName, QString& folder);
