#pragma once
// Cuts a live log byte stream into "KESTOR" frames and turns log line frames (type 4149) into
// lines. Bytes before a frame's magic are dropped; a frame still arriving stays buffered. Frames
// of other types are skipped whole. Pure: no threads, no I/O.
#include "DeviceLogTypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

class DeviceLogFrameParser
{
public:
    // A frame longer than this is taken for garbage: its magic is skipped and the search goes on.
    static constexpr int kMaxFrame = 1024 * 1024;

    QList<stLogData> append(const QByteArray &bytes, const QDateTime &now = QDateTime::currentDateTime());
    int buffered() const { return m_buffer.size() - m_at; }
    // A line payload: items "key=value" split at ";", "Log Lvl" the level, "Log Data" the text
    // (everything after "Log Data=", so a text may hold ";"), without a trailing line break.
    static stLogData parseLine(const QByteArray &payload, const QString &time);

private:
    QByteArray m_buffer;
    int m_at = 0;  // parsed up to here
};

// Runs the parser on a thread of its own and hands the lines on in batches, at most every
// 50 ms, so a fast log does not flood the GUI thread with one signal per line.
class DeviceLogParseWorker : public QObject
{
    Q_OBJECT
public:
    // A batch handed on holds at most the newest this many lines (what the table keeps).
    static constexpr int kBatchLimit = 1000;
    explicit DeviceLogParseWorker(QObject *parent = nullptr);
public slots:
    void addData(const QByteArray &bytes);
    // Hands on what is waiting now (the thread is about to stop).
    void flush();
signals:
    void linesParsed(const QList<stLogData> &lines);

private:
    DeviceLogFrameParser m_parser;
    QList<stLogData> m_pending;
    bool m_scheduled = false;
};
