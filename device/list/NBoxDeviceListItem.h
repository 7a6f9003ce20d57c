#pragma once
// A reader box: the master of a network group, shown with the members it names ("Gr slave").
// The arrow unfolds one line per member, and a member that discovery does not report (not
// listed under the box's group) is marked, so a group with a missing reader stands out.
#include "NDeviceListItem.h"

class QLabel;
class QToolButton;
class QVBoxLayout;

class NBoxDeviceListItem : public NDeviceListItem
{
    Q_OBJECT
public:
    NBoxDeviceListItem(const QString &deviceId, const KxDeviceInfoMap &info,
                       QWidget *parent = nullptr);

    // "Gr En" 1 and "Gr Role" 1: the reader heads a group.
    static bool isBox(const KxDeviceInfoMap &info);

    bool isExpanded() const { return m_expanded; }
    QToolButton *expandButton() const { return m_btnExpand; }
    // The member lines as shown: serial number and address, with the missing mark.
    QStringList partTexts() const;
    // The members' serial numbers that discovery reports (set by the list).
    void setPresentMembers(const QStringList &serials);

public slots:
    void expandClicked() override;

protected:
    void infoChanged() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void rebuildParts();
    void applyExpanded();

    bool m_expanded = false;
    QStringList m_present;
    QToolButton *m_btnExpand;
    QWidget *m_parts;
    QVBoxLayout *m_partLayout;
    QList<QLabel *> m_partLabels;
};
