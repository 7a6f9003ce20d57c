#pragma once
// What an image request asks the reader for, and what came back. The fields are the reader's
// own value texts ("IMGGET" parameters: type, ratio, format, quality, preprocessing).
#include <QByteArray>
#include <QString>

struct KxImageRequest
{
    QString type = QStringLiteral("0");
    QString ratio = QStringLiteral("0");
    QString format = QStringLiteral("0");
    QString quality;  // used with format "2" (JPEG)
    QString prepro;   // used with format "3"
    QString gliType;  // type used when the reader takes "IMGGLI"
    bool alternate = false;  // the reader's alternate image ("IMGTGT")
    QString altType = QStringLiteral("0");
    // Reader capabilities: both set choose "IMGGLI"; the second also leaves out "%1I".
    bool capGli = false;
    bool capGliPrepro = false;

    // The request's code and value, e.g. "IMGGET" + "0T1R2F50Q".
    QString code() const;
    QString value() const;

    // Parses the stored "type,ratio,format,quality,prepro" text; missing fields keep defaults.
    static KxImageRequest fromStored(const QString &stored);
};

struct KxImageReply
{
    bool ok = false;
    int error = 0;       // kit send error, or the reader's status when it refused
    QByteArray image;    // the encoded image bytes (extend data)
    QByteArray info;     // the extend information (JSON: width, height, format, ...)
};
