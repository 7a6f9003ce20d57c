#pragma once
// The quick settings of a model whose description has no quick page: the model's most used
// settings, taken from its own pages, so the dock is never empty.
#include <QStringList>

#include <memory>

struct KxPagesInfo;

namespace QuickFallbackPage {
// The settings a user changes most, in the order the page shows them.
QStringList mostUsed();
// One page ("Page Quick Settings") whose groups are the model's own groups, each keeping only
// the most used items it holds; nullptr when the model's pages hold none of them.
std::unique_ptr<KxPagesInfo> build(const QString &modelDir);
}  // namespace QuickFallbackPage
