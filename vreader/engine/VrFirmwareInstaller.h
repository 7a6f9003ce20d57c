#pragma once
// The virtual reader's side of a firmware transfer: takes the package in chunks, reports block,
// step and progress, and checks size, checksums, product and strict mode before anything is
// installed. Nothing changes on the reader until a whole, checked package is in: a transfer that
// stops halfway leaves the old firmware running.
#include "KxFirmwareFrames.h"

#include <QByteArray>
#include <QString>
#include <memory>

class VrFirmwareInstaller
{
public:
    // Largest package the reader takes (its flash).
    static constexpr qint64 kMaxSize = 128ll * 1024 * 1024;

    struct Result
    {
        QByteArray answer;  // answer payload (kind 8C)
        bool install = false;  // a checked package is ready: install it, answer, restart
        QString version;       // the version it brings
        QString log;           // a line for the reader's log, empty for none
        bool silent = false;   // a quiet data step: no answer goes out
    };

    // system: what the reader is, as step 5 reports it.
    Result handle(const QByteArray &requestPayload, const KxFirmware::SystemInfo &system);
    // The link that carried the transfer went away: forget the partial package.
    void abort();
    // Fault injection: every checked package is refused with this code (0: none).
    void setRefuseCode(int code) { m_refuse = code; }
    bool active() const { return m_active; }

private:
    KxFirmware::Answer state(bool ok, int error) const;

    bool m_active = false;
    QString m_name;
    qint64 m_size = 0;
    quint32 m_crc = 0;
    bool m_strict = true;
    // Only the package's ends are kept: its header and its trailing sums; the payload is
    // summed as it passes.
    void keepEnds(const QByteArray &chunk);
    QByteArray m_head;
    QByteArray m_tail;
    qint64 m_received = 0;
    std::unique_ptr<KxFirmware::RunningSums> m_sums;  // summed as the chunks arrive
    int m_block = 0;
    int m_step = 0;
    int m_progress = 0;
    int m_lastError = 0;
    int m_refuse = 0;
};
