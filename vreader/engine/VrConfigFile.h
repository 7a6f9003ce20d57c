#pragma once
// Exported configuration files as a reader start-up: the model they were made for and their
// commands, applied to a reader like an import.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class VrReaderEngine;

struct VrConfigFile
{
    QString deviceType;  // the "DeviceType" of the root
    QList<QPair<QString, QByteArray>> commands;

    // False with a message for a file that cannot be read, is not XML or has another root.
    bool read(const QString &path, QString *error);
    // Stores every command in the reader; the codes it refused or does not know are listed.
    void apply(VrReaderEngine &engine, QStringList *refused, QStringList *unknown) const;
};
