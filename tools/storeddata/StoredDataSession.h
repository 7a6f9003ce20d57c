#pragma once
// Hands over the results a reader kept offline: counts and fetches them page by page on the
// reader's worker, and clears on the reader only the ones fetched. No widgets.
#include "StoredResults.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

class KxDeviceCommand;

class StoredDataSession : public QObject
{
    Q_OBJECT
public:
    explicit StoredDataSession(KxDeviceCommand *cmd, QObject *parent = nullptr);
    ~StoredDataSession() override;

    // Starts fetching everything the reader holds; false when busy or without a reader.
    bool fetch();
    // Removes from the reader the results fetched last (the oldest ones; results the reader
    // kept since stay); false when busy, without a reader or with nothing fetched.
    bool clearFetched();
    // Stops a fetch between two pages; it ends with fetched(false, "cancelled").
    void cancel();
    bool busy() const { return m_busy; }

    QList<StoredResult> results() const { return m_results; }
    StoredCount count() const { return m_count; }

    // Codes the reader knows ("WLSCNT" etc.) are there.
    static bool supported(KxDeviceCommand *cmd);

signals:
    void fetched(bool ok, const QString &error);
    void cleared(bool ok, const QString &error);

private:
    QPointer<KxDeviceCommand> m_cmd;
    std::shared_ptr<std::atomic_bool> m_cancel;
    QList<StoredResult> m_results;
    StoredCount m_count;
    bool m_busy = false;
};
