#pragma once
// The property widget bound to a barcode reader: its items show the reader's current values,
// every edit becomes a changed command sent to the reader at once (running, not yet saved),
// and it follows the command object when values change elsewhere (saves, restores, imports,
// other pages). Its special controls reach the reader through it (IKxSpecialReader); the
// symbology list's JSON value becomes one change per setting it moves.
#include "IKxSpecialReader.h"
#include "KxPropertyWidget.h"

#include <QPointer>
#include <QHash>
#include <QSet>

#include <memory>

class KxDeviceCommand;
class KxDeviceConnector;

class BCodePropertyWidget : public KxPropertyWidget, public IKxSpecialReader
{
    Q_OBJECT
public:
    explicit BCodePropertyWidget(QWidget *parent = nullptr);
    ~BCodePropertyWidget() override;

    // The reader whose values the pages show and to which changes go.
    void setDevice(QPointer<KxDeviceConnector> connector);
    KxDeviceConnector *device() const;
    KxDeviceCommand *command() const;

    // Takes the pages, fills their items from the reader and shows them.
    void setPages(std::unique_ptr<KxPagesInfo> pages);
    KxPagesInfo *pages() const { return m_ownedPages.get(); }

    // Items' stored values from the command object (the running values).
    void fillStoredValues();
    // Changes sent and not yet answered.
    int pendingSends() const { return m_pending.size(); }

    // Items the reader does not know are left out.
    bool isItemVisible(const KxItemInfo *item) const override;
    void notifyPageCreated(const QString &pageId) override;

    // IKxSpecialReader
    QString editContext() const override { return QStringLiteral("BCodeEdit"); }
    std::unique_ptr<KxPagesInfo> readerPages(const QString &xml) override;
    void queryFirst(const QStringList &codes, QObject *context, const Answer &done) override;

public slots:
    // Brings items and controls of these codes (all when empty) to the reader's values.
    void refreshValues(const QStringList &codes = QStringList());

signals:
    // A change reached the reader (ok) or was refused and taken back.
    void changeSent(const QString &code, bool ok);

protected:
    void handleCustomChanged(KxCustomChangedEvent *event) override;

private:
    void onValueChanged(const QString &changedId);
    // A symbology list's value: each setting it holds that differs from the reader's is sent.
    void sendSymbologyChanges(KxControlBase *c);
    // Brings the symbology lists to the reader's values of these codes (all when empty).
    void refreshSymbologies(const QSet<QString> &codes);
    void onCmdChanged(const QStringList &cmds);
    void onCmdValueChanged(const QMap<QString, QByteArray> &changed);
    void sendChange(const QString &code, const QString &name, const QByteArray &value,
                    const QVariant &display, const KxItemInfo *item);
    void sendAction(const QString &code, const QByteArray &value, bool resync);
    void resyncAll();
    void revertControls(const QString &code);
    void acceptControls(const QString &code);
    QString runningValue(const QString &code) const;
    const KxItemInfo *itemOf(const QString &code) const;
    void connectCommand();

    QPointer<KxDeviceConnector> m_connector;
    QPointer<KxDeviceCommand> m_command;
    std::unique_ptr<KxPagesInfo> m_ownedPages;
    QHash<QString, QByteArray> m_pending; // code -> value on its way
    QList<QMetaObject::Connection> m_links;
    bool m_refreshing = false;
};
