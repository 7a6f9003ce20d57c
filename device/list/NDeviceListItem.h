#pragma once
// One reader in the device list: model icon, alias or model name, the address line, and small
// buttons to edit the alias, blink the reader and (while groups are edited) add it to a group.
#include "KxKitTypes.h"

#include <QWidget>

class QLabel;
class QToolButton;

class NDeviceListItem : public QWidget
{
    Q_OBJECT
public:
    NDeviceListItem(const QString &deviceId, const KxDeviceInfoMap &info,
                    QWidget *parent = nullptr);

    QString deviceId() const { return m_deviceId; }
    KxDeviceInfoMap deviceInfo() const { return m_info; }
    void setDeviceInfo(const KxDeviceInfoMap &info);

    // Whether the entry passes the search text (hidden entries stay in their group).
    bool matches() const { return m_matches; }
    void applyFilter(const QString &text);

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    // The "add to group" button is shown only in the group editing list.
    void setGroupButtonVisible(bool visible);

    // Set by a refresh until the reader is reported again.
    void setStale(bool stale) { m_stale = stale; }
    bool isStale() const { return m_stale; }

    QString titleText() const;
    // "Offline", "In use" (held by another program), "Connected" (held here) or empty.
    QString stateText() const;
    QToolButton *aliasButton() const { return m_btnAlias; }
    QToolButton *blinkButton() const { return m_btnBlink; }
    QToolButton *groupButton() const { return m_btnGroup; }

signals:
    void clicked(const QString &device_id);
    void doubleClicked(const QString &device_id);
    void addDevToNetGroup(const QMap<QString, QString> &mapDevInfos);
    void editAlias(const QString &device_id);
    void deviceBlink(const QMap<QString, QString> &device_infos);

public slots:
    // A single reader has no parts to unfold; a reader box overrides this.
    virtual void expandClicked();
    void onAddGroupBtnClicked();
    void onblinkBtnClicked();
    void onAliasBtnClicked();

protected:
    // Called after the information map changed.
    virtual void infoChanged() {}
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateTexts();
    void updateButtons();
    void elide();
    QString m_title, m_detail;

    QString m_deviceId;
    KxDeviceInfoMap m_info;
    bool m_matches = true;
    bool m_selected = false;
    bool m_hovered = false;
    bool m_stale = false;
    bool m_groupButton = false;
    QLabel *m_labIcon;
    QLabel *m_labTitle;
    QLabel *m_labDetail;
    QLabel *m_labState;
    QToolButton *m_btnAlias;
    QToolButton *m_btnBlink;
    QToolButton *m_btnGroup;
};
