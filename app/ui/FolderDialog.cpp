#include "app/ui/FolderDialog.h"

#include "app/FolderChoice.h"
#include "app/Translator.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
// The places the combo offers: the root, the home folder and the mounted volumes.
QStringList TopPlaces()
{
    QStringList places = {QDir::rootPath(), QDir::homePath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() && QFileInfo(root).isDir() && !places.contains(root))
            places.append(root);
    }
    return places;
}
}  // namespace

TfDlgDir::TfDlgDir(QWidget* parent) : PlainForm("TfDlgDir", parent)
{
    resize(420, 480);
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    ShellComboBox1 = new QComboBox(Panel1);
    ShellComboBox1->setObjectName("ShellComboBox1");
    // The combo spans the panel less its offset on both sides.
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(8, 4, 8, 4);
    panelLayout->addWidget(ShellComboBox1);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());
    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setObjectName("ShellTreeView1");
    ShellTreeView1->setModel(m_model);
    ShellTreeView1->setHeaderHidden(true);
    for (int c = 1; c < m_model->columnCount(); ++c)
        ShellTreeView1->hideColumn(c);
    ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);

    btnZapisz = new QPushButton(this);
    btnZapisz->setObjectName("btnZapisz");
    btnNewFolder = new QPushButton(this);
    btnNewFolder->setObjectName("btnNewFolder");
    btnAnuluj = new QPushButton(this);
    btnAnuluj->setObjectName("btnAnuluj");
    btnNewFolder->setText(Tr("SelectFolder", "btnNewFolder.caption"));
    btnAnuluj->setText(Tr("SelectFolder", "btnAnuluj.caption"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnNewFolder);
    buttons->addStretch(1);
    buttons->addWidget(btnZapisz);
    buttons->addWidget(btnAnuluj);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(ShellTreeView1, 1);
    layout->addLayout(buttons);

    ShellComboBox1->addItem(QString());  // the selected folder's path
    for (const QString& place : TopPlaces())
        ShellComboBox1->addItem(QDir::toNativeSeparators(place), place);
    connect(ShellComboBox1, &QComboBox::activated, this, [this](int index) {
        if (index > 0)
            GoToFolder(ShellComboBox1->itemData(index).toString());
    });
    connect(ShellTreeView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfDlgDir::SelectionChanged);
    // The tree fills in folder by folder after it is shown: the rows read
    // above the folder gone to push it down, out of sight.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QString parent = loaded.endsWith('/') ? loaded : loaded + '/';
        if (m_wentTo == loaded || m_wentTo.startsWith(parent))
            QTimer::singleShot(0, this, &TfDlgDir::KeepInSight);
    });
    // The model sorts what it read a little later and the view lays the rows
    // out later still: whenever the rows' height changes, the folder may have
    // moved out of sight again.
    connect(ShellTreeView1->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            [this] { QTimer::singleShot(0, this, &TfDlgDir::KeepInSight); });
    connect(btnZapisz, &QPushButton::clicked, this, &TfDlgDir::btnZapiszClick);
    connect(btnNewFolder, &QPushButton::clicked, this, &TfDlgDir::btnNewFolderClick);
    connect(btnAnuluj, &QPushButton::clicked, this, &TfDlgDir::btnAnulujClick);

    AskFolderName = [this](QString& name) {
        bool ok = false;
        const QString typed =
            QInputDialog::getText(this, Tr("SelectFolder", "btnNewFolder.caption"),
                                  Tr("SelectFolder", "WprowadzNazweFolderu") + " :", QLineEdit::Normal, name, &ok);
        if (ok)
            name = typed;
        return ok;
    };
    Beep = [] { QApplication::beep(); };
    SelectionChanged();
}

QString TfDlgDir::SelectedFolder() const
{
    const QModelIndexList selected = ShellTreeView1->selectionModel()->selectedRows();
    return selected.isEmpty() ? QString() : m_model->filePath(selected.first());
}

void TfDlgDir::GoToFolder(const QString& path)
{
    const QModelIndex index = m_model->index(QDir::cleanPath(path));
    if (!index.isValid())
        return;
    m_wentTo = m_model->filePath(index);
    ShellTreeView1->setCurrentIndex(index);
    ShellTreeView1->expand(index);
    ShellTreeView1->scrollTo(index);
}

void TfDlgDir::KeepInSight()
{
    const QModelIndex index = m_model->index(m_wentTo);
    if (index.isValid() && index == ShellTreeView1->currentIndex())
        ShellTreeView1->scrollTo(index);
}

void TfDlgDir::SelectionChanged()
{
    // Choosing or making a folder needs one: without a selection the caller
    // would get no folder and a new one would land at the root.
    const QString folder = SelectedFolder();
    btnZapisz->setEnabled(!folder.isEmpty());
    btnNewFolder->setEnabled(!folder.isEmpty());
    ShellComboBox1->setItemText(0, QDir::toNativeSeparators(folder));
    ShellComboBox1->setCurrentIndex(0);
}

void TfDlgDir::showEvent(QShowEvent* event)
{
    setWindowTitle(Caption);
    btnZapisz->setText(ChooseCaption);
    if (!InitialFolder.isEmpty())
        GoToFolder(InitialFolder);
    PlainForm::showEvent(event);
    // Once the tree has its size.
    QTimer::singleShot(0, this, &TfDlgDir::KeepInSight);
}

void TfDlgDir::btnZapiszClick()
{
    const QString folder = SelectedFolder();
    if (folder.isEmpty())
        return;
    ChosenFolder = folder;
    accept();
}

void TfDlgDir::btnAnulujClick() { reject(); }

void TfDlgDir::btnNewFolderClick()
{
    const QString parent = SelectedFolder();
    if (parent.isEmpty())
        return;
    const QString made = CreateNewFolder(parent, ProposedName, {AskFolderName, Beep});
    if (made.isEmpty())
        return;
    GoToFolder(parent);
    GoToFolder(made);
    btnZapisz->setFocus();
}

bool SelectFolder(const QString& caption, const QString& chooseCaption, const QString& initialFolder,
                  const QString& proposedName, QString& folder)
{
    TfDlgDir dialog(QApplication::activeWindow());
    dialog.Caption = caption;
    dialog.ChooseCaption = chooseCaption;
    dialog.InitialFolder = initialFolder;
    dialog.ProposedName = proposedName;
    if (dialog.exec() != QDialog::Accepted)
        return false;
    folder = dialog.ChosenFolder;
    return true;
}
