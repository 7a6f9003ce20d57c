// The update service: answers "/brevan/v1.0.0/checkUpdate" from its catalogue and serves the
// installer archive, plainly, slowly, cut off half-way or behind redirects.
#include "VService.h"

#include <httplib.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <memory>
#include <thread>

namespace
{

QString installerName(const VServiceState &s)
{
    return QStringLiteral("Brevan_%1.zip").arg(s.catalogueVersion);
}

void reply(httplib::Response &res, const QJsonObject &o, int httpStatus = 200)
{
    res.status = httpStatus;
    res.set_content(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json");
}

void serveInstaller(VServiceState &state, httplib::Response &res)
{
    QString file;
    QString mode;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        file = state.installerFile;
        mode = state.transferMode;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        reply(res, {{QStringLiteral("code"), QStringLiteral("1004")},
                    {QStringLiteral("message"), QStringLiteral("installer missing")}},
              404);
        return;
    }
    auto data = std::make_shared<QByteArray>(f.readAll());
    const bool slow = mode == QLatin1String("slow");
    const bool interrupt = mode == QLatin1String("interrupt");
    res.set_content_provider(
        size_t(data->size()), "application/zip",
        [data, slow, interrupt](size_t offset, size_t length, httplib::DataSink &sink) {
            // Cut off half-way: the client sees the connection close before the declared length.
            if (interrupt && offset >= size_t(data->size()) / 2)
                return false;
            size_t n = std::min<size_t>(length, slow ? 16384 : 262144);
            if (interrupt)
                n = std::min(n, size_t(data->size()) / 2 - offset + 1);
            if (slow)
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
            sink.write(data->constData() + offset, n);
            return true;
        });
}

} // namespace

void setupUpdateService(httplib::Server &server, VServiceState &state)
{
    server.Post("/brevan/v1.0.0/checkUpdate", [&state](const httplib::Request &req,
                                                       httplib::Response &res) {
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &err);
        if (err.error != QJsonParseError::NoError || !doc.isObject()) {
            reply(res, {{QStringLiteral("code"), QStringLiteral("1001")},
                        {QStringLiteral("message"), QStringLiteral("bad request")}},
                  400);
            return;
        }
        const QJsonObject ask = doc.object();
        std::lock_guard<std::mutex> lock(state.mutex);
        const QString asked = ask.value(QStringLiteral("Version")).toString();
        if (state.updateMode == QLatin1String("same") || asked == state.catalogueVersion) {
            reply(res, {{QStringLiteral("code"), QStringLiteral("0001")},
                        {QStringLiteral("message"), QStringLiteral("already the latest version")},
                        {QStringLiteral("AppName"), ask.value(QStringLiteral("AppName"))},
                        {QStringLiteral("Version"), asked}});
            return;
        }
        const QString base = QStringLiteral("http://%1:%2").arg(state.host).arg(state.updatePort);
        const QString name = installerName(state);
        QString url = base + QStringLiteral("/installer/") + name;
        if (state.transferMode == QLatin1String("redirect"))
            url = base + QStringLiteral("/redirect/") + name;
        else if (state.transferMode == QLatin1String("foreign-redirect"))
            url = base + QStringLiteral("/foreign/") + name;
        QString md5 = QString::fromLatin1(fileMd5(state.installerFile));
        if (state.updateMode == QLatin1String("bad-md5"))
            md5 = QStringLiteral("0123456789abcdef0123456789abcdef");
        else if (state.updateMode == QLatin1String("upper-md5"))
            md5 = md5.toUpper();
        QJsonObject o{{QStringLiteral("code"), QStringLiteral("0000")},
                      {QStringLiteral("AppName"), QStringLiteral("Brevan")},
                      {QStringLiteral("Version"), state.catalogueVersion},
                      {QStringLiteral("Url"), url},
                      {QStringLiteral("md5"), md5},
                      {QStringLiteral("size"), double(QFileInfo(state.installerFile).size())}};
        if (state.updateMode == QLatin1String("wrong-app"))
            o.insert(QStringLiteral("AppName"), QStringLiteral("BrevanLite"));
        else if (state.updateMode == QLatin1String("empty-url"))
            o.insert(QStringLiteral("Url"), QString());
        reply(res, o);
    });

    server.Get(R"(/installer/([\w.\-]+))", [&state](const httplib::Request &req,
                                                   httplib::Response &res) {
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            if (QString::fromStdString(req.matches[1]) != installerName(state)) {
                reply(res, {{QStringLiteral("code"), QStringLiteral("1004")},
                            {QStringLiteral("message"), QStringLiteral("no such installer")}},
                      404);
                return;
            }
        }
        serveInstaller(state, res);
    });
    server.Get(R"(/redirect/([\w.\-]+))", [](const httplib::Request &req, httplib::Response &res) {
        res.set_redirect("/installer/" + std::string(req.matches[1]));
    });
    server.Get(R"(/foreign/([\w.\-]+))", [&state](const httplib::Request &req,
                                                 httplib::Response &res) {
        std::lock_guard<std::mutex> lock(state.mutex);
        res.set_redirect(QStringLiteral("http://%1:%2/installer/")
                             .arg(state.host)
                             .arg(state.trainingPort)
                             .toStdString()
                         + std::string(req.matches[1]));
    });
}
