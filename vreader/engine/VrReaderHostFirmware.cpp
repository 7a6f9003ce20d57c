// VrReaderHost: firmware transfer steps on a command link.
#include "VrReaderHost.h"

#include "KxBinaryFrame.h"

namespace {
// What the virtual hardware is; packages name these variants (brevan-mkfw's defaults).
KxFirmware::SystemInfo systemOf(const VrIdentity &id)
{
    KxFirmware::SystemInfo s;
    s.product = KxFirmware::normaliseModel(id.model);
    s.hardware = QStringLiteral("VR-1");
    s.cpu = QStringLiteral("VCPU-A7");
    s.storage = QStringLiteral("EMMC-8G");
    s.os = QStringLiteral("VROS-2");
    s.kernel = QStringLiteral("5.10");
    s.mcu = QStringLiteral("VMCU-3");
    s.version = id.firmware;
    return s;
}
}  // namespace

void VrReaderHost::handleFirmware(Link *link, const QByteArray &payload)
{
    if (m_firmware.active() && m_firmwareLink && m_firmwareLink != link && !payload.isEmpty()
        && quint8(payload.at(0)) != KxFirmware::State && quint8(payload.at(0)) != KxFirmware::System) {
        if (quint8(payload.at(0)) == KxFirmware::QuietData)
            return;  // answered by no step: the link that sent it hears "busy" at its next one
        KxFirmware::Answer busy;
        busy.error = KxFirmware::UpdateFailed;
        send(link, KxFrame::encode(KxFrame::FirmwareReply, KxFirmware::makeAnswer(busy)));
        return;
    }
    VrFirmwareInstaller::Result r = m_firmware.handle(payload, systemOf(m_engine->identity()));
    if (m_firmware.active())
        m_firmwareLink = link;
    if (!r.log.isEmpty())
        log(r.log);
    if (r.install) {
        // The new version is stored in one atomic write of the reader's state; when that fails
        // the old one stays and the client hears of it.
        if (!m_engine->installFirmware(r.version)) {
            KxFirmware::Answer failed;
            failed.error = KxFirmware::UpdateFailed;
            failed.step = 3;
            r.answer = KxFirmware::makeAnswer(failed);
            r.install = false;
            log(QStringLiteral("firmware: cannot store %1; old firmware kept").arg(r.version));
        }
    }
    if (!r.silent)
        send(link, KxFrame::encode(KxFrame::FirmwareReply, r.answer));
    if (r.install) {
        log(QStringLiteral("firmware: %1 installed, restarting").arg(r.version));
        restart();
    }
}
