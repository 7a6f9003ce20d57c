#pragma once
// The labelled images of a training folder: the label file "label.txt" (one line per image:
// file name, a tab, the text the image shows) and the data set archive "image.zip" that holds
// "label.txt" and the labelled images under "images/".
#include <QMap>
#include <QString>
#include <QStringList>

namespace TrainingDataSet
{
// Image files of a folder (png, jpg, jpeg, bmp), sorted by name.
QStringList imageFiles(const QString &folder);
// The labels stored in the folder; an unreadable or missing file gives none.
QMap<QString, QString> readLabels(const QString &folder);
// A label as stored: one line, no tabs.
QString cleanLabel(const QString &text);
bool writeLabels(const QString &folder, const QMap<QString, QString> &labels, QString *error);
// Packs the labelled images into a zip; images without a text are left out.
bool pack(const QString &folder, const QMap<QString, QString> &labels, const QString &zipPath,
          QString *error);
} // namespace TrainingDataSet
