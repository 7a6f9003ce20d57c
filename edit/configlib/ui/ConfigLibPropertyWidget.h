#pragma once
// The settings of one configuration set as a property page: the items of the model's
// configuration-set page showing the set's own values. An edit changes the set (and so goes to
// the reader as the set's change), never the reader's running value of the command.
#include "BCodePropertyWidget.h"

#include <QPointer>
#include <QStringList>

#include "ConfigLib.h"

class ConfigLibPropertyWidget : public BCodePropertyWidget
{
    Q_OBJECT
public:
    // only: the item ids shown (all when empty). running: the reader's value of a code the set
    // does not hold itself.
    ConfigLibPropertyWidget(ConfigLib *set, std::unique_ptr<KxPagesInfo> pages, const QStringList &only,
                            std::function<QString(const QString &)> running, QWidget *parent = nullptr);

    ConfigLib *set() const { return m_set; }
    bool isItemVisible(const KxItemInfo *item) const override;

public slots:
    void slot_ConfigChanged(int id, const QString &cmd, const QString &value);

private:
    QString setValueOf(const QString &code) const;
    void onChanged(const QString &changedId);

    QPointer<ConfigLib> m_set;
    QStringList m_only;
    std::function<QString(const QString &)> m_running;
    bool m_updating = false;
};
