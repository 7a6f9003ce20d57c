#pragma once
// Which commands a model exports, and what the pages call them. The list is read from the
// model's page files: every storable command item of the pages marked exportable, in page-file
// order and item order, without the model's restricted commands.
#include <QMap>
#include <QString>
#include <QStringList>

class KxDeviceConfigs;
struct KxPagesInfo;

struct KxExportList
{
    QStringList codes;                  // export order, each code once
    QMap<QString, QString> displayNames; // code -> display name key of its first item

    // The model's list; empty when the model is unknown. rfid picks the RFID restriction list.
    static KxExportList forModel(const KxDeviceConfigs *configs, const QString &modelName,
                                 bool rfid = false);
    // Adds the command items of one page file (already read); restricted codes are skipped.
    void addPages(const KxPagesInfo &pages, const QStringList &restricted);
    // Display names of every page of the model, exportable or not.
    static QMap<QString, QString> displayNamesForModel(const KxDeviceConfigs *configs,
                                                       const QString &modelName);
};
