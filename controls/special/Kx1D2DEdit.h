#pragma once
// The symbology settings control ("1D2DEdit"): one row per symbology page of the page file the
// item names ("Xml"), each with an enable box and a name that opens the symbology's own page
// in a popup; a select-all box above. Its value is one JSON document with the settings of all
// symbologies: {pageId: {groupId: [{"Id": ..., "Param": ...}]}}.
#include "KxControlBase.h"
#include "KxPageInfo.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class KxPropertyWidget;

// One symbology: its enable box, its name, and its page with the reader's values.
class KxCodeItem : public QWidget
{
    Q_OBJECT
public:
    KxCodeItem(std::unique_ptr<KxPagesInfo> pages, const QString &xml, QWidget *parent = nullptr);
    QString pageId() const { return objectName(); }
    KxPageInfo *page() const;
    KxPagesInfo *pages() const { return m_pages.get(); }
    QCheckBox *enableBox() const { return m_enable; }
    QLabel *nameLabel() const { return m_name; }
    QString xml() const { return m_xml; }
    // The value of the command named like the page ("0": off).
    QString enableValue() const;
    void setEnableValue(const QString &value);
    // {groupId: [{"Id", "Param"}]} of the page.
    QJsonObject toJson() const;
    // Takes the values of such an object; items the page lacks are ignored.
    void fromJson(const QJsonObject &groups);

signals:
    void enableClicked();
    void nameClicked(const QPoint &globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<KxPagesInfo> m_pages;
    QString m_xml;
    QCheckBox *m_enable;
    QLabel *m_name;
};

// A symbology's page in a popup; the values go back into the row when it closes.
class KxCodePopupWidget : public QWidget
{
    Q_OBJECT
public:
    KxCodePopupWidget(KxCodeItem *row, QWidget *parent = nullptr);
    KxPropertyWidget *propertyWidget() const { return m_property; }
    QStringList defaultCommands() const { return m_defCmds; }
    // Copies the controls' values into the row's page.
    void takeValues();

signals:
    void closed();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QPointer<KxCodeItem> m_row;
    KxPropertyWidget *m_property;
    QStringList m_defCmds;
};

class KxCodeSettingWidget : public QWidget
{
    Q_OBJECT
public:
    explicit KxCodeSettingWidget(QWidget *parent = nullptr);
    void addRow(KxCodeItem *row);
    QList<KxCodeItem *> rows() const;
    KxCodeItem *row(const QString &pageId) const;
    QCheckBox *selectAll() const { return m_selectAll; }
    void updateSelectAll();
    QJsonObject toJson() const;
    // False for text that is not a JSON object (nothing changes then).
    bool applyJson(const QString &text);
    KxCodePopupWidget *openPopup(KxCodeItem *row, const QPoint &globalPos);

signals:
    void changed();

private:
    void onEnableClicked(KxCodeItem *row);
    QCheckBox *m_selectAll;
    QListWidget *m_list;
    QPointer<KxCodePopupWidget> m_popup;
};

class Kx1D2DEdit : public KxControlBase
{
    Q_OBJECT
public:
    // The rows come from the page file "Xml" of the reader being edited (IKxSpecialReader of the
    // owning property widget); without a reader no rows are made.
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    KxCodeSettingWidget *settings() const { return m_settings; }

private:
    QPointer<QWidget> m_root;
    KxCodeSettingWidget *m_settings = nullptr;
};
