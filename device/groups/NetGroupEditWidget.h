#pragma once
// The network group editor shown on the main page while groups are edited: the tree of groups
// and readers (drag a reader onto a group to move it), buttons to create a group, add a reader,
// choose the master and remove, the chosen group's name and attributes, and saving. A save sends
// each changed reader its configuration text and counts as done only when every reader took it
// and reports the group it was given; a failed save keeps what the user built.
#include "KxKitTypes.h"
#include "KxNetGroupModel.h"
#include "KxNetGroupSaver.h"

#include <QWidget>

class KxPushButton;
class NetGroupTree;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTreeWidgetItem;

class NetGroupEditWidget : public QWidget
{
    Q_OBJECT
public:
    explicit NetGroupEditWidget(QWidget *parent = nullptr);
    ~NetGroupEditWidget() override;

    // Starts editing these readers (those with "Supp Gr" = 1 are taken).
    void setReaders(const QList<KxDeviceInfoMap> &infos);
    const KxNetGroupModel &model() const { return m_model; }
    KxNetGroupSaver *saver() const { return m_saver; }
    NetGroupTree *tree() const { return m_tree; }
    bool isChanged() const { return m_model.isChanged(); }
    bool isSaving() const { return m_saver->isRunning(); }
    // The group chosen in the tree (the group of a chosen reader), or -1.
    int currentGroup() const;
    void selectGroup(int groupId);
    void selectReader(const QString &key);
    // Readers' maps with the edited group keys, for the device list's editing view.
    QList<QMap<QString, QString>> maps() const { return m_model.maps(); }

public slots:
    int newGroup();
    // Into the chosen group; false (with a notice) when there is none or it is full.
    bool addReader(const QString &key);
    // The device list's "add to group" button.
    void addReaderFromList(const QMap<QString, QString> &info);
    bool moveReader(const QString &key, int groupId);
    void setCurrentAsMaster();
    void removeCurrent();
    // Starts a save: false when nothing changed, a rule is broken or a save runs.
    bool save();

signals:
    // The groups changed in the editor (the list's editing view follows).
    void groupsChanged();
    void saveFinished(bool ok);

private:
    void buildUi();
    void rebuildTree();
    void updateButtons();
    void showProperties();
    void applyProperties();
    void onSaveFinished(bool ok, const QStringList &failed);
    void onReaderState(const QString &key, KxNetGroupSaver::State state);
    void showAddMenu();
    bool refuse(KxNetGroupModel::Result r);
    QTreeWidgetItem *readerItem(const QString &key) const;
    static QString stateKey(KxNetGroupSaver::State s);

    KxNetGroupModel m_model;
    KxNetGroupSaver *m_saver;
    NetGroupTree *m_tree = nullptr;
    KxPushButton *m_btnNew = nullptr;
    KxPushButton *m_btnAdd = nullptr;
    KxPushButton *m_btnMaster = nullptr;
    KxPushButton *m_btnRemove = nullptr;
    KxPushButton *m_btnSave = nullptr;
    QGroupBox *m_props = nullptr;
    QLineEdit *m_name = nullptr;
    QComboBox *m_priority = nullptr;
    QComboBox *m_mode = nullptr;
    QSpinBox *m_min = nullptr;
    QSpinBox *m_max = nullptr;
    QLabel *m_limit = nullptr;
    QMap<QString, KxNetGroupSaver::State> m_states;
    bool m_filling = false;
};
