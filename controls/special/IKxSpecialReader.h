#pragma once
// What the special controls ask of the reader being edited: the symbology page files with the
// reader's values, and queries of read-only commands (the data formats in use, the script
// functions). The property widget that binds pages to a reader implements it; a control finds
// it among its parents. Nothing here blocks: page files come from the values read at login,
// queries run on the reader's command worker and answer on the GUI thread.
#include "KxPageInfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;

class IKxSpecialReader
{
public:
    virtual ~IKxSpecialReader() = default;

    // "BCodeEdit" for the barcode edit frame's pages.
    virtual QString editContext() const = 0;

    // A page file of the reader's model ("1D.xml") with the values the reader runs; only the
    // pages holding a command the reader knows. Null when the model has no such file.
    virtual std::unique_ptr<KxPagesInfo> readerPages(const QString &xml) = 0;

    // Asks the reader for the codes in order and hands back the first non-empty answer with its
    // code (both empty when every answer is empty). error is set when the reader could not be
    // asked. done runs on the GUI thread, and only while context lives.
    using Answer = std::function<void(const QString &code, const QByteArray &value, const QString &error)>;
    virtual void queryFirst(const QStringList &codes, QObject *context, const Answer &done) = 0;

    // The reader access among the parents of obj (its property widget); null when none.
    static IKxSpecialReader *find(const QObject *obj);
};
