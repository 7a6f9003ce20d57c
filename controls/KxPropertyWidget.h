#pragma once
// Turns a page description into settings pages: a tab per page, groups with titles in a scroll
// area and one control per item. It is the parent of all its controls and receives their
// events; it keeps trigger-driven visibility current, applies "Ref" limits between controls,
// tells which items are stored and exports the values as JSON.
#include "KxPageInfo.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>

class KxControlBase;
class KxCustomChangedEvent;
class KxExtendEvent;
class KxROIChangedEvent;
class KxValueChangedEvent;
class QScrollArea;
class QTabWidget;
class QVBoxLayout;

struct _tagKxPropertyInfo
{
    KxPageInfo *page = nullptr;
    QMultiMap<QString, KxControlBase *> controlMap; // item id -> controls (an id may repeat)
    QList<KxControlBase *> controls;                // page order
    QWidget *tab = nullptr;                         // named by the page id
    QScrollArea *scroll = nullptr;
    QWidget *content = nullptr;
    QSet<QString> linkSet;                          // every trigger link of the page
    QHash<QString, bool> expanded;                  // group id -> shown expanded
    QMap<QString, QVariant> pending;                // edits kept across rebuilds
};

class KxPropertyWidget : public QWidget
{
    Q_OBJECT
public:
    using QObject::setProperty;

    explicit KxPropertyWidget(QWidget *parent = nullptr);
    ~KxPropertyWidget() override;

    // Shows the pages (not owned; must outlive the widget's use of it). Null clears.
    void setProperty(KxPagesInfo *pages);
    KxPagesInfo *pagesInfo() const { return m_pages; }

    void setShowChanged(bool on);
    bool showChanged() const { return m_showChanged; }

    virtual bool isPageVisible(const KxPageInfo *page) const;
    virtual bool isGroupVisible(const KxGroupInfo *group) const;
    virtual bool isItemVisible(const KxItemInfo *item) const;
    virtual bool isStorable(const KxItemInfo *item) const;
    virtual QVariant controlValue(const QString &id) const;
    virtual void notifyPageCreated(const QString &pageId);
    virtual void pagesHook();

    QString currentPageId() const { return m_currentPage; }
    bool setCurrentPage(const QString &pageId);
    QTabWidget *tabWidget() const { return m_tabs; }
    QStringList pageIds() const { return m_order; }
    // Controls of a page (the current one when empty), in page order.
    QList<KxControlBase *> controls(const QString &pageId = QString()) const;
    KxControlBase *control(const QString &id, const QString &pageId = QString()) const;
    QWidget *pageContent(const QString &pageId) const;
    void rebuildPage(const QString &pageId);
    int rebuildCount() const { return m_rebuilds; }
    // Widest title column and least editor column, for pages built after the call. A narrow
    // host (a dock) gives smaller ones: its scroll area does not scroll sideways, so a page wider
    // than the host would lay its editors over the titles; with these, long titles wrap.
    void setColumnWidths(int maxLabel, int editor)
    {
        m_maxLabelWidth = maxLabel;
        m_editorColumnWidth = editor;
    }

    // {pageId: {groupId: [{"Id", "Type"?, "Flags"?, "Param"}]}}
    QJsonObject valuesToJson() const;
    // {"Property": {"Page": {pageId: {"Group": {groupId: [...]}}}}}
    QJsonObject valuesToWrappedJson() const;

    // Where extend requests go (the connected reader's resource access); set once.
    using ExtendHandler = std::function<void(const QString &controlId, KxPropertyWidget *widget)>;
    static void setExtendHandler(ExtendHandler handler);

    // The style texts of rows, titles and separators.
    static const char *const GroupBarStyle;
    static const char *const GroupTitleStyle;
    static const char *const GroupButtonStyle;
    static const char *const GroupLineStyle;
    static const char *const ItemEditorStyle;
    static const char *const ItemLabelStyle;

signals:
    void pageCreated(const QString &pageId);
    void currentPageChanged(const QString &pageId);
    void valueChanged(const QString &changedId);
    void customChanged(const QString &type, const QVariant &params);

public slots:
    void OnROIChanged(const QString &groupId);
    void OnImageViewClosed();
    void OnImageViewMouseClick();
    void OnImageViewMouseDClick();

protected:
    void customEvent(QEvent *event) override;
    virtual void handleValueChanged(KxValueChangedEvent *event);
    virtual void handleCustomChanged(KxCustomChangedEvent *event);
    virtual void handleExtend(KxExtendEvent *event);
    virtual void handleROIChanged(KxROIChangedEvent *event);
    void applyRefs(_tagKxPropertyInfo &info, const QString &sourceId, const QVariant &value);

private:
    // Page building (KxPropertyPageBuilder.cpp).
    void buildPage(_tagKxPropertyInfo &info);
    QWidget *createGroupBox(_tagKxPropertyInfo &info, KxGroupInfo *group, QWidget *parent,
                            QWidget **content);
    void layoutGroup(KxGroupInfo *group, QWidget *content, const QList<KxControlBase *> &groupControls,
                     int labelWidth, const QHash<const KxControlBase *, int> &titleWidths);
    KxControlBase *createItemControl(_tagKxPropertyInfo &info, KxGroupInfo *group, KxItemInfo *item,
                                     QWidget *parent);
    void clearPage(_tagKxPropertyInfo &info);

    // Trigger evaluation against the page that holds the group or item.
    bool triggersHold(const KxTriggerSet &triggers, const QString &pageId) const;
    QVariant linkedValue(const _tagKxPropertyInfo &info, const QString &id, bool *found) const;
    QString pageOf(const void *record) const;
    _tagKxPropertyInfo *info(const QString &pageId);
    const _tagKxPropertyInfo *info(const QString &pageId) const;
    void onTabChanged(int index);
    void refreshPending(_tagKxPropertyInfo &info);
    static QString kxTrPage(const KxPageInfo *page);

    KxPagesInfo *m_pages = nullptr;
    QTabWidget *m_tabs;
    QHash<QString, _tagKxPropertyInfo> m_infos;
    QStringList m_order;
    QHash<const void *, QString> m_recordPage; // group or item record -> page id
    QString m_currentPage;
    QString m_buildingPage;
    bool m_showChanged = false;
    int m_refDepth = 0;
    int m_rebuilds = 0;
    int m_maxLabelWidth = 280;
    int m_editorColumnWidth = 360;
    mutable QSet<QString> m_evaluating; // ids whose visibility is being decided (cycle guard)
};
