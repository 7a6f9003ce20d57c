// Uploading a 200 MB data set in four parts against curl posting the same four parts to the
// same stand-in service in the same run (both followed by the merge). The client's MD5 pass is
// reported on its own and not counted in its upload time.
#include "FileUpload.h"
#include "KxConfig.h"
#include "VServiceProcess.h"
#include "bench.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

bool writeFile(const QString &path, qint64 size, qint64 offset = 0)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1 << 20, '\0');
    for (qint64 done = 0; done < size;) {
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(((offset + done + i) * 2654435761u) >> 24);
        const qint64 n = qMin<qint64>(block.size(), size - done);
        if (f.write(block.constData(), n) != n)
            return false;
        done += n;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    KxConfig::instance()->setDataDir(work.path());
    VServiceProcess service;
    if (!service.start()) {
        std::fprintf(stderr, "brevan-vservice did not start\n");
        return 1;
    }
    const qint64 partSize = FileUpload::PartSize;
    const qint64 size = 4 * partSize - 12345; // four parts, the last one short
    const QString dataSet = work.filePath("image.zip");
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        const qint64 start = i * partSize;
        parts << work.filePath(QStringLiteral("part%1").arg(i));
        if (!writeFile(parts.last(), qMin(partSize, size - start), start)) {
            std::fprintf(stderr, "cannot write the parts\n");
            return 1;
        }
    }
    if (!writeFile(dataSet, size)) {
        std::fprintf(stderr, "cannot write the data set\n");
        return 1;
    }

    QString md5;
    qint64 md5Ms = 0;
    bool ok = true;
    // The client's transfer time: from the end of its MD5 pass to the merge's answer.
    std::vector<double> transfers;
    for (int run = 0; run < 3; ++run) {
        FileUpload upload;
        upload.setBaseUrl(service.trainingUrl());
        QSignalSpy done(&upload, &FileUpload::finished);
        QElapsedTimer t;
        QObject::connect(&upload, &FileUpload::md5Ready, [&t] { t.start(); });
        upload.start(dataSet);
        ok = done.wait(300000) && done.at(0).at(0).toBool() && ok;
        transfers.push_back(t.isValid() ? t.nsecsElapsed() / 1e6 : 0.0);
        md5 = upload.md5();
        md5Ms = upload.md5Milliseconds();
    }
    std::sort(transfers.begin(), transfers.end());
    const double clientTransfer = transfers[transfers.size() / 2];

    const double curl = bench::medianMs(
        [&] {
            QList<QProcess *> procs;
            for (int i = 0; i < parts.size(); ++i) {
                auto *p = new QProcess;
                p->start("curl", {"-s", "-o", "/dev/null", "-F", QStringLiteral("file=@%1;filename=image.zip").arg(parts[i]),
                                  "-F", "md5=" + md5, "-F", QStringLiteral("chunk=%1").arg(i),
                                  service.trainingUrl() + "/file/upload/dataset"});
                procs << p;
            }
            for (QProcess *p : procs) {
                ok = p->waitForFinished(300000) && p->exitCode() == 0 && ok;
                delete p;
            }
            QProcess merge;
            merge.start("curl", {"-s", "-o", "/dev/null", service.trainingUrl() + "/file/merge/dataset?md5=" + md5});
            ok = merge.waitForFinished(300000) && merge.exitCode() == 0 && ok;
        },
        3);
    bench::report("upload 200 MB in 4 parts, client vs curl", clientTransfer, curl,
                  ok ? QStringLiteral("MD5 pass excluded") : QStringLiteral("SOME UPLOADS FAILED"));
    bench::value("client MD5 pass over 200 MB", double(md5Ms), "ms");
    return ok ? 0 : 1;
}
