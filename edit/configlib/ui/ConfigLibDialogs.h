#pragma once
// The dialogs of the configuration-set table: enable or disable a set, rename it, and the
// popups for a set's symbologies, illumination and image preprocessing. The questions go
// through KxUi(); the popups are windows of their own that the page opens without waiting.
#include "NDialogEx.h"

#include <QPointer>
#include <functional>
#include <memory>

#include "ConfigLib.h"
class ConfigLibPropertyWidget;
class QCheckBox;
class QListWidget;
struct KxPagesInfo;

namespace ConfigLibEnableDlg {
// Asks "#IDS_Enable" / "#IDS_Disable" for the set and applies the choice; false when cancelled
// or unchanged.
bool run(ConfigLib *set, QWidget *parent);
}

namespace ConfigLibRenameDlg {
// Asks for a new name until one passes the rules (every ":" removed, trimmed, not empty, not
// another set's, at most 32 bytes): each refusal is a 3000 ms notice and the question again.
// The accepted name is applied when it differs; false when cancelled or unchanged.
bool run(ConfigLib *set, const QStringList &otherNames, QWidget *parent);
}

// The symbologies of one family ("1D" or "2D") for one set: a box per symbology the reader has,
// a select-all box, and OK to apply them as one change of the set.
class TablePopupDlg : public NDialogEx
{
    Q_OBJECT
public:
    struct Entry
    {
        QString code;   // the enable command ("C28ENA")
        QString title;  // translated name
        bool on = false;
    };
    TablePopupDlg(ConfigLib *set, const QString &family, const QList<Entry> &entries, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }
    QCheckBox *selectAll() const { return m_all; }
    // The values OK would apply (code to "1"/"0").
    QMap<QString, QVariant> chosen() const;

public slots:
    void applyAndClose();

private:
    void syncSelectAll();

    QPointer<ConfigLib> m_set;
    QListWidget *m_list;
    QCheckBox *m_all;
};

// One set's items of a popup row ("LED" or "PREIMAGE"), edited in place; each change goes to
// the set at once.
class ConfigLibItemsPopup : public NDialogEx
{
    Q_OBJECT
public:
    ConfigLibItemsPopup(ConfigLib *set, std::unique_ptr<KxPagesInfo> pages, const QStringList &codes,
                        std::function<QString(const QString &)> running, const QString &titleKey,
                        QWidget *parent = nullptr);
    ConfigLibPropertyWidget *properties() const { return m_properties; }

private:
    ConfigLibPropertyWidget *m_properties;
};

class LedPopupDlg : public ConfigLibItemsPopup
{
    Q_OBJECT
public:
    using ConfigLibItemsPopup::ConfigLibItemsPopup;
};

class PreImagePopupDlg : public ConfigLibItemsPopup
{
    Q_OBJECT
public:
    using ConfigLibItemsPopup::ConfigLibItemsPopup;
};
