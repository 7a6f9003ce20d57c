#include "BCodeImageView.h"

#include "BCodeImageCanvas.h"
#include "BCodeImageIcons.h"
#include "BCodeImageViewPrivate.h"
#include "BCodeImageWall.h"
#include "GetImageSettingDlg.h"
#include "KxDeviceCommand.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char kTextKey[] = "textKey";
const char kIconBase[] = "iconBase";

// The full-screen window ends on Escape as well as on its button.
class FullScreenWindow : public QWidget
{
public:
    std::function<void()> onExit;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape && onExit)
            onExit();
        else
            QWidget::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent *e) override
    {
        if (onExit)
            onExit();
        QWidget::closeEvent(e);
    }
};
}  // namespace

BCodeImageView::BCodeImageView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BCodeImageView"));
    m_d = new BCodeImageViewPrivate(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    m_toolbar = new QWidget(this);
    m_toolbar->setObjectName(QStringLiteral("imageToolbar"));
    auto *bar = new QHBoxLayout(m_toolbar);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(2);
    layout->addWidget(m_toolbar);

    auto *get = addTool(QStringLiteral("btnGetImage"), QStringLiteral("#IDS_GetImage"), QStringLiteral("getimg"));
    auto *play = addTool(QStringLiteral("btnPlay"), QStringLiteral("#IDS_Play"), QStringLiteral("play"), true);
    auto *save = addTool(QStringLiteral("btnSaveImage"), QStringLiteral("#IDS_SaveImage"), QStringLiteral("save"));
    auto *autoSave = addTool(QStringLiteral("btnAutoSave"), QStringLiteral("#IDS_Auto_Save"), QStringLiteral("autosave"), true);
    auto *fit = addTool(QStringLiteral("btnShowFit"), QStringLiteral("#IDS_ShowImage_Original"), QStringLiteral("showfit"), true);
    auto *full = addTool(QStringLiteral("btnFullScreen"), QStringLiteral("#IDS_ShowImage_Fullscreen"), QStringLiteral("fullscreen"));
    auto *settings = addTool(QStringLiteral("btnImageSettings"), QStringLiteral("#IDS_ImageSettings"), QStringLiteral("imagesettings"));
    auto *decode = addTool(QStringLiteral("btnDecodeFiles"), QStringLiteral("#IDS_DecodeImageFiles"), QStringLiteral("decodefile"));
    bar->addStretch(1);
    auto *expand = addTool(QStringLiteral("btnExpand"), QStringLiteral("#IDS_Contract"), QStringLiteral("contract"), true);
    expand->setChecked(true);

    auto *body = new QHBoxLayout;
    body->setSpacing(4);
    layout->addLayout(body, 1);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("imageScroll"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setWidgetResizable(true);
    m_scroll->setStyleSheet(QStringLiteral("QScrollArea{background:#282828;border:none;}"));
    m_canvas = new BCodeImageCanvas;
    m_scroll->setWidget(m_canvas);
    body->addWidget(m_scroll, 1);
    m_wall = new BCodeImageWall(this);
    body->addWidget(m_wall);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("labImageStatus"));
    m_status->setStyleSheet(QStringLiteral("color:#595959;"));
    layout->addWidget(m_status);

    connect(get, &QToolButton::clicked, this, &BCodeImageView::onGetImage);
    connect(play, &QToolButton::toggled, this, &BCodeImageView::onPlayToggled);
    connect(save, &QToolButton::clicked, this, &BCodeImageView::onSaveImage);
    connect(autoSave, &QToolButton::toggled, this, [this](bool on) { m_d->setAutoSave(on); });
    connect(fit, &QToolButton::toggled, this, [this, fit](bool original) {
        m_canvas->setFit(!original);
        m_scroll->setWidgetResizable(!original);
        if (original)
            m_canvas->resize(m_canvas->sizeHint());
        fit->setProperty(kTextKey, original ? QStringLiteral("#IDS_ShowImage_Fit")
                                            : QStringLiteral("#IDS_ShowImage_Original"));
        retranslate();
    });
    connect(full, &QToolButton::clicked, this, [this]() { OnFullScreenRequested(true); });
    connect(settings, &QToolButton::clicked, this, &BCodeImageView::onImageSettings);
    connect(decode, &QToolButton::clicked, this, &BCodeImageView::onDecodeFiles);
    connect(expand, &QToolButton::toggled, this, [this, expand](bool open) {
        m_wall->setVisible(open);
        expand->setProperty(kTextKey, open ? QStringLiteral("#IDS_Contract") : QStringLiteral("#IDS_Expand"));
        expand->setProperty(kIconBase, open ? QStringLiteral("contract") : QStringLiteral("expand"));
        retranslate();
    });
    connect(m_canvas, &BCodeImageCanvas::roiEdited, m_d, &BCodeImageViewPrivate::OnROIChanged);
    connect(m_wall, &BCodeImageWall::imageClicked, m_d, &BCodeImageViewPrivate::showImageFromWall);
    connect(m_d, &BCodeImageViewPrivate::fullScreenRequested, this, &BCodeImageView::OnFullScreenRequested);
    connect(m_d, &BCodeImageViewPrivate::decodeFinished, this,
            [this](const QString &file, bool ok, const QString &text, int ms) {
                emit decodeResult(file, ok, text, ms);
            });
    connect(m_d, &BCodeImageViewPrivate::fetchFinished, this, &BCodeImageView::updateButtons);
    retranslate();
    updateButtons();
}

BCodeImageView::~BCodeImageView()
{
    delete m_fullWindow;
}

QToolButton *BCodeImageView::addTool(const QString &name, const QString &textKey,
                                     const QString &iconBase, bool checkable)
{
    auto *b = new QToolButton(m_toolbar);
    b->setObjectName(name);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setIconSize(QSize(18, 18));
    b->setMinimumSize(30, 28);
    b->setProperty(kTextKey, textKey);
    b->setProperty(kIconBase, iconBase);
    m_toolbar->layout()->addWidget(b);
    return b;
}

QToolButton *BCodeImageView::button(const QString &objectName) const
{
    return m_toolbar->findChild<QToolButton *>(objectName);
}

void BCodeImageView::retranslate()
{
    for (QToolButton *b : m_toolbar->findChildren<QToolButton *>()) {
        const QString text = kxTr(b->property(kTextKey).toString());
        b->setToolTip(text);
        b->setText(text);
        const QIcon icon = BCodeImageIcons::icon(b->property(kIconBase).toString());
        b->setIcon(icon);
        // Without its picture a button shows its whole text rather than a cut one.
        b->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
    }
}

void BCodeImageView::setDevice(QPointer<KxDeviceConnector> connector)
{
    m_d->setDevice(connector);
    updateButtons();
}

bool BCodeImageView::hasImageSupport() const
{
    KxDeviceCommand *cmd = m_d->command();
    return cmd && cmd->hasCmd(QStringLiteral("IMGGET"));
}

QString BCodeImageView::statusText() const
{
    return m_status->text();
}

void BCodeImageView::setBusyText(const QString &textKey)
{
    m_busyKey = textKey;
    m_status->setText(kxTr(textKey));
}

void BCodeImageView::updateButtons()
{
    const bool reader = m_d->command() != nullptr;
    const bool images = hasImageSupport();
    button(QStringLiteral("btnGetImage"))->setEnabled(images && m_d->isReady() && !m_d->isPlaying());
    button(QStringLiteral("btnPlay"))->setEnabled(images);
    button(QStringLiteral("btnImageSettings"))->setEnabled(reader);
    button(QStringLiteral("btnSaveImage"))->setEnabled(m_d->hasImage());
    QToolButton *play = button(QStringLiteral("btnPlay"));
    const bool playing = m_d->isPlaying();
    if (play->isChecked() != playing) {
        QSignalBlocker block(play);
        play->setChecked(playing);
    }
    play->setProperty(kTextKey, playing ? QStringLiteral("#IDS_Stop") : QStringLiteral("#IDS_Play"));
    play->setProperty(kIconBase, playing ? QStringLiteral("stop") : QStringLiteral("play"));
    retranslate();
    if (m_fullCanvas) {
        m_fullCanvas->setPixmap(m_canvas->pixmap());
        m_fullCanvas->setCodes(m_canvas->codes());
        m_fullCanvas->setRois(m_canvas->rois());
    }
}

void BCodeImageView::onGetImage()
{
    if (m_d->getImage())
        setBusyText(QStringLiteral("#IDS_GetImage_ing"));
    updateButtons();
}

void BCodeImageView::onPlayToggled(bool play)
{
    m_d->OnSignalBarcodeImageWidgetPlay(play);
    emit OnSignalBarcodeImageViewPlay(m_d->isPlaying());
    updateButtons();
}

void BCodeImageView::OnSlotBarcodeImageViewMonitor(bool bMonitor, bool bMonitorFlag)
{
    m_d->OnSlotBarcodeImageWidgetMonitor(bMonitor, bMonitorFlag);
    updateButtons();
}

void BCodeImageView::onSaveImage()
{
    if (!m_d->hasImage())
        return;
    const QString filters = QStringList{QStringLiteral("BMP (*.BMP)"), QStringLiteral("JPG (*.JPG)"),
                                        QStringLiteral("TIF (*.TIF)"), QStringLiteral("PNG (*.PNG)"),
                                        QStringLiteral("raw (*.raw)")}
                                .join(QStringLiteral(";;"));
    const QString proposed = QStringLiteral("Image_")
                             + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_zzz"));
    QString selected;
    const QString path = KxUi()->getSaveFileName(QStringLiteral("#IDS_SaveImage"), proposed, filters,
                                                 this, &selected);
    if (path.isEmpty())
        return;
    const bool ok = m_d->saveImageTo(path, selected);
    KxUi()->toast(ok ? QStringLiteral("#IDS_SaveImage_Success") : QStringLiteral("#IDS_SaveImage_Failed"),
                  3000, this, ok ? KxMsgType::Information : KxMsgType::Error);
}

void BCodeImageView::onImageSettings()
{
    GetImageSettingDlg dlg(m_d->sensorSize(), m_d->options(), this);
    if (KxDialogRunner::run(&dlg) == QDialog::Accepted)
        m_d->reloadOptions();
}

void BCodeImageView::onDecodeFiles()
{
    const QStringList files = KxUi()->getOpenFileNames(
        QStringLiteral("#IDS_DecodeImageFiles"), QString(),
        QStringLiteral("Images (*.bmp *.jpg *.jpeg *.png *.tif *.tiff)"), this);
    if (!files.isEmpty())
        m_d->decodeImage(true, files);
}

void BCodeImageView::OnFullScreenRequested(bool state)
{
    if (state && !m_fullWindow) {
        auto *w = new FullScreenWindow;
        w->setObjectName(QStringLiteral("imageFullScreen"));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        auto *l = new QVBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        auto *exit = new QToolButton(w);
        exit->setObjectName(QStringLiteral("btnExitFullScreen"));
        exit->setText(kxTr(QStringLiteral("#IDS_Exit_Fullscreen")));
        exit->setIcon(BCodeImageIcons::icon(QStringLiteral("exitfullscreen")));
        exit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        l->addWidget(exit, 0, Qt::AlignRight);
        m_fullCanvas = new BCodeImageCanvas(w);
        m_fullCanvas->setRoiEditable(false);
        l->addWidget(m_fullCanvas, 1);
        m_fullWindow = w;
        w->onExit = [this]() { QMetaObject::invokeMethod(this, "OnFullScreenRequested", Qt::QueuedConnection, Q_ARG(bool, false)); };
        connect(exit, &QToolButton::clicked, this, [this]() { OnFullScreenRequested(false); });
        updateButtons();
        w->showFullScreen();
        m_d->fullScreenStateChanged(true);
    } else if (!state && m_fullWindow) {
        QWidget *w = m_fullWindow;
        m_fullWindow = nullptr;
        m_fullCanvas = nullptr;
        static_cast<FullScreenWindow *>(w)->onExit = nullptr;
        w->hide();
        w->deleteLater();
        m_d->fullScreenStateChanged(false);
    }
}
