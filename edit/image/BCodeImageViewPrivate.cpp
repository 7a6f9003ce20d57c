#include "BCodeImageViewPrivate.h"

#include "BCodeDecodeArea.h"
#include "BCodeImageCanvas.h"
#include "BCodeImageView.h"
#include "BCodeImageWall.h"
#include "DecodeWorker.h"
#include "DeviceImageSaver.h"
#include "ImageAutoSaveRules.h"
#include "KxDeviceCommand.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxSplit.h"
#include "KxUiService.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStorageInfo>
#include <QTimer>

namespace {
// Width and height the reader reports for its image (extend information), 0 when absent.
QSize infoSize(const QByteArray &ext)
{
    const QJsonObject o = QJsonDocument::fromJson(ext).object();
    return QSize(o.value(QStringLiteral("width")).toInt(), o.value(QStringLiteral("height")).toInt());
}

const QStringList kAreaCodes = {
    QStringLiteral("CADENA"), QStringLiteral("CADMOD"), QStringLiteral("CADMRI"),
    QStringLiteral("CADPOS"), QStringLiteral("CADSIZ"), QStringLiteral("CADCTR"),
    QStringLiteral("CADPSZ"), QStringLiteral("CADTOP"), QStringLiteral("CADBOT"),
    QStringLiteral("CADLEF"), QStringLiteral("CADRIG"), QStringLiteral("CADATP"),
    QStringLiteral("CADABT"), QStringLiteral("CADALF"), QStringLiteral("CADARG"),
    QStringLiteral("CADDTP"), QStringLiteral("CADDBT"), QStringLiteral("CADDLF"),
    QStringLiteral("CADDRG")};
}  // namespace

BCodeImageViewPrivate::BCodeImageViewPrivate(BCodeImageView *view) : QObject(view), q(view)
{
    m_options = BCodeImageOptions::load();
}

BCodeImageViewPrivate::~BCodeImageViewPrivate()
{
    // A view that goes while playing leaves no reader streaming images.
    if (m_playing && command() && command()->hasCmd(QStringLiteral("SCNMTR")))
        sendMonitor(false);
}

KxDeviceCommand *BCodeImageViewPrivate::command() const
{
    return m_connector ? m_connector->command() : nullptr;
}

void BCodeImageViewPrivate::setDevice(QPointer<KxDeviceConnector> connector)
{
    if (m_connector == connector)
        return;
    if (KxDeviceCommand *old = command())
        disconnect(old, nullptr, this, nullptr);
    m_playing = false;
    m_connector = connector;
    KxDeviceCommand *cmd = command();
    if (!cmd)
        return;
    connect(cmd, &KxDeviceCommand::cmdChanged, this, &BCodeImageViewPrivate::OnCmdChanged);
    connect(cmd, &KxDeviceCommand::cmdValueChanged, this, &BCodeImageViewPrivate::OnCmdValueChanged);
    delete m_saver;
    m_saver = new DeviceImageSaver(this);
    m_saver->setObjectName(QStringLiteral("imageSaver"));
    connect(m_saver, &DeviceImageSaver::imageSaved, q->wall(),
            [wall = q->wall()](bool ok, const QString &path) { wall->onSaveFinished(ok, path, true); },
            Qt::QueuedConnection);
    showBlank();
}

void BCodeImageViewPrivate::showBlank()
{
    KxDeviceCommand *cmd = command();
    if (!cmd || !cmd->hasCmd(QStringLiteral("IMGGWH")))
        return;
    const KxSplit wh(cmd->value(QStringLiteral("IMGGWH")));
    qint64 w = 0, h = 0;
    if (!wh.toInt(QStringLiteral("W"), w) || !wh.toInt(QStringLiteral("H"), h) || w <= 0 || h <= 0)
        return;
    m_sensor = QSize(int(w), int(h));
    m_shown = BCodeImageOptions::blankSize(m_sensor, m_options.ratio);
    QPixmap blank(m_shown);
    blank.fill(Qt::black);
    m_penWidthRate = double(m_sensor.width()) / m_shown.width();
    m_penHeighRate = double(m_sensor.height()) / m_shown.height();
    q->canvas()->setPixmap(blank);
    q->canvas()->setCodes({});
    redrawRois();
}

QList<BCodeRoi> BCodeImageViewPrivate::readerRois() const
{
    KxDeviceCommand *cmd = command();
    if (!cmd)
        return {};
    return BCodeDecodeArea::read([cmd](const QString &c) { return cmd->hasCmd(c); },
                                 [cmd](const QString &c) { return cmd->valueText(c); }, m_sensor);
}

void BCodeImageViewPrivate::redrawRois()
{
    QList<BCodeRoi> shown;
    for (const BCodeRoi &r : readerRois())
        shown << BCodeRoi{r.index, BCodeRoiString::toImage(r.rect, m_penWidthRate, m_penHeighRate)};
    q->canvas()->setRois(shown);
    q->updateButtons();
}

bool BCodeImageViewPrivate::getImage()
{
    KxDeviceCommand *cmd = command();
    if (!m_ready || !cmd)
        return false;
    m_ready = false;
    KxImageRequest request = KxImageRequest::fromStored(m_options.storedCmd());
    request.capGli = cmd->hasCmd(QStringLiteral("IMGGLI"));
    request.capGliPrepro = request.capGli && !m_options.gliType.isEmpty();
    request.gliType = m_options.gliType;
    QPointer<BCodeImageViewPrivate> self(this);
    cmd->asyncProcess(
        [self, request](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            out.insert(QStringLiteral("result"), "0");
            if (!c)
                return out;
            const KxImageReply reply = c->getImage(request);
            if (!reply.ok) {
                out.insert(QStringLiteral("error"), QByteArray::number(reply.error));
                return out;
            }
            out.insert(QStringLiteral("result"), "1");
            out.insert(QStringLiteral("image"), reply.image);
            out.insert(QStringLiteral("ext"), reply.info);
            return out;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (!self)
                return;
            self->OnImageReceived(result.value(QStringLiteral("result")) != "0",
                                  result.value(QStringLiteral("image")),
                                  result.value(QStringLiteral("ext")));
        });
    return true;
}

void BCodeImageViewPrivate::OnImageReceived(bool bResult, const QByteArray &img, const QByteArray &ext)
{
    m_ready = true;
    if (bResult) {
        {
            QMutexLocker lock(&m_mutex);
            m_hasImage = true;
        }
        showImage(img, ext);
    } else {
        qWarning() << "BCodeImageViewPrivate::OnImageReceived()...fetch failed";
    }
    q->setBusyText(bResult || m_playing ? QString() : QStringLiteral("#IDS_GetImage_Failed"));
    emit fetchFinished(bResult);
    scheduleNextFetch();
}

void BCodeImageViewPrivate::showImage(const QByteArray &byteDataImage, const QByteArray &byteDataExt)
{
    const QSize size = infoSize(byteDataExt);
    const QImage image = KxImageFromBytes(byteDataImage, size.width(), size.height());
    if (image.isNull()) {
        qWarning() << "BCodeImageViewPrivate::showImage()...image cannot be read";
        return;
    }
    const QPixmap pixmap = QPixmap::fromImage(image);
    {
        QMutexLocker lock(&m_mutex);
        m_hasImage = true;
        m_imageBytes = byteDataImage;
        m_extData = byteDataExt;
        m_pixmap = pixmap;
    }
    if (m_sensor.isValid()) {
        m_penWidthRate = double(m_sensor.width()) / image.width();
        m_penHeighRate = double(m_sensor.height()) / image.height();
    }
    m_shown = image.size();
    q->canvas()->setPixmap(pixmap);
    q->canvas()->setCodes({});
    q->canvas()->setOverlayText(QString());
    redrawRois();
    q->wall()->addImage(pixmap, byteDataImage, byteDataExt, QString());
    const QString decoded = QJsonDocument::fromJson(byteDataExt).object()
                                .value(QStringLiteral("decoded")).toVariant().toStringList().join(QLatin1Char(';'));
    if (m_autoSave)
        runAutoSave(image, decoded);
    decodeShown(byteDataImage, image, QString());
    emit imageShown();
}

void BCodeImageViewPrivate::decodeShown(const QByteArray &bytes, const QImage &image,
                                        const QString &file)
{
    // Live images: one decode at a time; images arriving meanwhile keep the marks they had.
    if (file.isEmpty() && m_decoding)
        return;
    m_decoding = file.isEmpty();
    auto *worker = new DecodeWorker(m_connector, bytes, image.width(), image.height());
    QPointer<BCodeImageViewPrivate> self(this);
    const QPixmap shownAtStart = q->canvas()->pixmap();
    connect(worker, &DecodeWorker::decodeResult, this,
            [self, file, shownAtStart](bool ok, const QString &text, const QByteArray &data, int ms) {
                if (!self)
                    return;
                if (file.isEmpty())
                    self->m_decoding = false;
                // Marks belong to the image they were found in.
                if (self->q->canvas()->pixmap().cacheKey() == shownAtStart.cacheKey())
                    self->q->canvas()->setCodes(KxFoundCodesFromJson(data));
                self->q->updateButtons();
                if (!file.isEmpty()) {
                    emit self->decodeFinished(file, ok, text, ms);
                    self->decodeNextFile();
                }
            },
            Qt::QueuedConnection);
    worker->start();
}

void BCodeImageViewPrivate::decodeImage(bool decodeStart, const QStringList &imageFileList)
{
    if (!decodeStart) {
        m_filesToDecode.clear();
        return;
    }
    const bool running = !m_filesToDecode.isEmpty();
    m_filesToDecode << imageFileList;
    if (!running) {
        KxUi()->showWaiting(QStringLiteral("#IDS_LoadImage_ing"), QStringLiteral("#IDS_Cancel"),
                            [self = QPointer<BCodeImageViewPrivate>(this)]() {
                                if (self)
                                    self->m_filesToDecode.clear();
                            });
        decodeNextFile();
    }
}

void BCodeImageViewPrivate::decodeNextFile()
{
    while (!m_filesToDecode.isEmpty()) {
        const QString file = m_filesToDecode.first();
        QFile f(file);
        QByteArray bytes;
        if (f.open(QIODevice::ReadOnly))
            bytes = f.readAll();
        const QImage image = KxImageFromBytes(bytes);
        if (image.isNull()) {
            m_filesToDecode.removeFirst();
            emit decodeFinished(file, false, QString(), 0);
            continue;
        }
        m_filesToDecode.removeFirst();
        const QPixmap pixmap = QPixmap::fromImage(image);
        {
            QMutexLocker lock(&m_mutex);
            m_hasImage = true;
            m_imageBytes = bytes;
            m_extData.clear();
            m_pixmap = pixmap;
        }
        q->canvas()->setPixmap(pixmap);
        q->canvas()->setCodes({});
        q->canvas()->setRois({});
        q->canvas()->setOverlayText(QFileInfo(file).fileName());
        // Hand the decoder the image itself in a lossless form, whatever the file held.
        QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
        QByteArray raw;
        raw.reserve(grey.width() * grey.height());
        for (int y = 0; y < grey.height(); ++y)
            raw.append(reinterpret_cast<const char *>(grey.constScanLine(y)), grey.width());
        decodeShown(raw, grey, file);
        return;
    }
    KxUi()->closeWaiting();
    emit localDecodeDone();
}

void BCodeImageViewPrivate::runAutoSave(const QImage &image, const QString &decodedText)
{
    KxSettings *settings = KxSettings::instance();
    const QString base = ImageAutoSaveRules::folderWithSeparator(settings->localSetting(QStringLiteral("imagePath")));
    if (base.isEmpty() || !QDir().mkpath(base)) {
        KxUi()->toast(kxTr(QStringLiteral("#IDS_Create_Dir_Error")) + QLatin1Char(' ') + base, 3000, q, KxMsgType::Error);
        return;
    }
    if (!m_saver->isInitialised() || !m_saver->saveFolder().startsWith(QDir::cleanPath(base))) {
        if (!m_saver->init(m_connector ? m_connector->deviceId() : QString(), QDir::cleanPath(base))) {
            KxUi()->toast(kxTr(QStringLiteral("#IDS_Create_Dir_Error")) + QLatin1Char(' ') + base, 3000, q, KxMsgType::Error);
            return;
        }
    }
    const QString folder = m_saver->saveFolder();
    const QString name = ImageAutoSaveRules::baseName(QDateTime::currentDateTime(),
                                                      ImageAutoSaveRules::randomNumber(), decodedText,
                                                      folder.size());
    const QString ext = ImageAutoSaveRules::extension(settings->localSetting(QStringLiteral("imageFileType")));

    // Disk reserve in GB; saving stops below it unless pruning makes room.
    const int reserveGb = settings->localSettingNumber(QStringLiteral("miniFreeReservedSpace"));
    QStorageInfo storage(folder);
    storage.refresh();
    const qint64 freeGb = storage.bytesAvailable() / (qint64(1) << 30);
    const bool noSpace = ImageAutoSaveRules::reserveBlocks(
        freeGb, reserveGb, settings->localSetting(QStringLiteral("imageStrategy")),
        qApp->property("noSpaceAnddontSaveImage").toBool());
    QString shownName = noSpace ? kxTr(QStringLiteral("#IDS_DiskFullForImage_Warming")) : name + ext;
    m_lastAutoSaveName = shownName;
    q->canvas()->setOverlayText(shownName);
    if (QWidget *wallItem = q->wall()->item(0))
        static_cast<BCodeWallItem *>(wallItem)->setFileName(noSpace ? shownName : folder + QLatin1Char('/') + name + ext);
    if (noSpace)
        return;
    QByteArray bytes;
    const QByteArray format = ImageAutoSaveRules::qtFormat(ext);
    if (format.isEmpty()) {
        QMutexLocker lock(&m_mutex);
        bytes = m_imageBytes;  // no known extension: the reader's bytes as they came
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (format == "JPG")
            writer.setQuality(ImageAutoSaveRules::jpegQuality(settings->localSetting(QStringLiteral("imageQuality"))));
        if (!writer.write(image)) {
            qWarning() << "BCodeImageViewPrivate::runAutoSave()...encode failed" << writer.errorString();
            return;
        }
    }
    m_saver->put(bytes, name, QString(), QString(), ext.mid(1));
}

bool BCodeImageViewPrivate::saveImageTo(const QString &path, const QString &selectedFilter)
{
    QByteArray bytes;
    QPixmap pixmap;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_hasImage)
            return false;
        bytes = m_imageBytes;
        pixmap = m_pixmap;
    }
    QString suffix = QFileInfo(path).suffix().toLower();
    QString target = path;
    if (suffix.isEmpty()) {
        // The chosen filter names the format when the name does not.
        const int open = selectedFilter.indexOf(QLatin1String("*."));
        suffix = open >= 0 ? selectedFilter.mid(open + 2).chopped(1).toLower() : QStringLiteral("bmp");
        target += QLatin1Char('.') + suffix;
    }
    if (suffix == QLatin1String("raw")) {
        QFile f(target);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    const QByteArray format = ImageAutoSaveRules::qtFormat(suffix);
    return !pixmap.isNull() && pixmap.save(target, format.isEmpty() ? nullptr : format.constData());
}

void BCodeImageViewPrivate::showImageFromWall(const QByteArray &img, const QByteArray &ext,
                                              const QString &file)
{
    const QSize size = infoSize(ext);
    const QImage image = KxImageFromBytes(img, size.width(), size.height());
    if (image.isNull())
        return;
    const QPixmap pixmap = QPixmap::fromImage(image);
    {
        QMutexLocker lock(&m_mutex);
        m_imageBytes = img;
        m_extData = ext;
        m_pixmap = pixmap;
        m_hasImage = true;
    }
    q->canvas()->setPixmap(pixmap);
    q->canvas()->setCodes({});
    q->canvas()->setOverlayText(file);
    decodeShown(img, image, QString());
    q->updateButtons();
}

void BCodeImageViewPrivate::fullScreenStateChanged(bool state)
{
    qInfo() << "BCodeImageViewPrivate::fullScreenStateChanged()..." << state;
}

void BCodeImageViewPrivate::OnSlotBarcodeImageWidgetMonitor(bool bMonitor, bool)
{
    OnSignalBarcodeImageWidgetPlay(bMonitor);
}

void BCodeImageViewPrivate::OnSignalBarcodeImageWidgetPlay(bool bPlay)
{
    KxDeviceCommand *cmd = command();
    if (bPlay == m_playing || (bPlay && !cmd))
        return;
    m_playing = bPlay;
    if (cmd && cmd->hasCmd(QStringLiteral("SCNMTR")))
        sendMonitor(bPlay);
    if (m_playing && m_ready)
        getImage();
}

void BCodeImageViewPrivate::sendMonitor(bool on)
{
    KxDeviceCommand *cmd = command();
    cmd->asyncProcess(
        [on](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray value;
            // Running state only: monitoring is never stored.
            const int r = c ? c->query(1, QStringLiteral("#SCNMTR"), value, on ? "1" : "0") : 21;
            out.insert(QStringLiteral("result"), r == 6 ? "1" : "0");
            return out;
        },
        [](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (result.value(QStringLiteral("result")) != "1")
                qWarning() << "BCodeImageViewPrivate::sendMonitor()...reader refused SCNMTR";
        });
}

void BCodeImageViewPrivate::scheduleNextFetch()
{
    if (!m_playing)
        return;
    QTimer::singleShot(m_options.intervalMs, this, [this]() {
        if (m_playing && m_ready && !getImage()) {
            m_playing = false;
            q->updateButtons();
        }
    });
}

void BCodeImageViewPrivate::OnCmdChanged(const QStringList &cmds, bool)
{
    for (const QString &c : cmds) {
        if (kAreaCodes.contains(c.left(6))) {
            redrawRois();
            return;
        }
    }
}

void BCodeImageViewPrivate::OnCmdValueChanged(const QMap<QString, QByteArray> &changed_cmds, bool)
{
    for (auto it = changed_cmds.cbegin(); it != changed_cmds.cend(); ++it) {
        if (kAreaCodes.contains(it.key().left(6))) {
            redrawRois();
            return;
        }
    }
}

void BCodeImageViewPrivate::OnROIChanged(int, const QRect &infos)
{
    KxDeviceCommand *cmd = command();
    if (!cmd)
        return;
    const QRect reader = BCodeRoiString::toReader(infos, m_penWidthRate, m_penHeighRate);
    const QVector<ChangedCmdInfo> changes = BCodeDecodeArea::changesFor(
        [cmd](const QString &c) { return cmd->hasCmd(c); }, reader, m_sensor);
    if (changes.isEmpty()) {
        redrawRois();
        emit roiSent(false);
        return;
    }
    // Each change goes as a running change, like an edit on the settings pages; the last
    // answer redraws the areas from the reader's values.
    auto left = std::make_shared<int>(changes.size());
    auto allOk = std::make_shared<bool>(true);
    QPointer<BCodeImageViewPrivate> self(this);
    auto settle = [self, left, allOk](bool ok) {
        *allOk = *allOk && ok;
        if (--*left == 0 && self) {
            self->redrawRois();
            emit self->roiSent(*allOk);
        }
    };
    // A refused change reports through done as well, so every change settles exactly once.
    for (const ChangedCmdInfo &c : changes)
        cmd->sendCmdAsync(c, this, true, [settle](bool ok, const QStringList &) { settle(ok); });
}

bool BCodeImageViewPrivate::hasImage() const
{
    QMutexLocker lock(&m_mutex);
    return m_hasImage;
}

QByteArray BCodeImageViewPrivate::lastImageBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_imageBytes;
}

QByteArray BCodeImageViewPrivate::lastExtData() const
{
    QMutexLocker lock(&m_mutex);
    return m_extData;
}

QPixmap BCodeImageViewPrivate::lastPixmap() const
{
    QMutexLocker lock(&m_mutex);
    return m_pixmap;
}
