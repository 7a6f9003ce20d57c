#pragma once
// For galleries that picture a page against a running virtual reader: a logged-in reader and
// an image fetched through the real button, with the local decode's marks drawn.
#include "BCodeImageCanvas.h"
#include "BCodeImageView.h"
#include "BCodeImageViewPrivate.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cstdio>

namespace GalleryReader {

// Starts the reader process and logs in to its first reader; null (with a message) on failure.
inline std::unique_ptr<KxDeviceConnector> start(VReaderProcess &vr, const QStringList &args)
{
    if (!vr.start(args)) {
        std::fprintf(stderr, "virtual reader did not start\n");
        return nullptr;
    }
    QString why;
    auto connector = VReaderSession::login(vr, &why);
    if (!connector)
        std::fprintf(stderr, "login failed: %s\n", qPrintable(why));
    return connector;
}

inline bool fetch(BCodeImageView *view)
{
    QSignalSpy done(view->d(), &BCodeImageViewPrivate::fetchFinished);
    view->button("btnGetImage")->click();
    if (!done.wait(60000))
        return false;
    for (int i = 0; i < 200 && view->canvas()->codes().isEmpty(); ++i)
        QTest::qWait(20);
    return true;
}

}  // namespace GalleryReader
