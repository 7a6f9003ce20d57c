#pragma once
// Reads page description files into KxPagesInfo records.
#include "KxDescriptionIssue.h"
#include "KxPageInfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct KxPageListEntry
{
    QString pageId;
    std::unique_ptr<KxPagesInfo> pages; // holds only that page; method and buttons empty
};

namespace KxPageLoader {

// Null when the file is missing, unreadable or not well-formed XML. With a non-empty pageIds
// only the pages whose Id is listed (exact match) are kept. Every problem met, fatal or
// tolerated, is appended to `issues` with file, line and element.
std::unique_ptr<KxPagesInfo> loadPages(const QString &path,
                                       const QStringList &pageIds = QStringList(),
                                       KxDescriptionIssues *issues = nullptr);

// The same from bytes already in memory; `fileName` only names the source in issues.
std::unique_ptr<KxPagesInfo> loadPagesFromBytes(const QByteArray &bytes, const QString &fileName,
                                                const QStringList &pageIds = QStringList(),
                                                KxDescriptionIssues *issues = nullptr);

// One entry per page in file order; empty when the file cannot be read.
std::vector<KxPageListEntry> loadPageList(const QString &path,
                                          KxDescriptionIssues *issues = nullptr);

} // namespace KxPageLoader
