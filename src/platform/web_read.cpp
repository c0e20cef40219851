#include "platform/web_read.h"

#include <algorithm>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>

namespace platform {

namespace {

// The same wait the engine gives a silent server; a stuck read must not hold a station.
constexpr int kTransferTimeoutMs = 15000;

QNetworkAccessManager& network() {
    // Made on first use, on the UI thread, and kept: Qt's network stack costs nothing until then.
    static auto* const manager = new QNetworkAccessManager;
    return *manager;
}

}  // namespace

class WebRead::Reply {
public:
    Reply(const std::string& address, std::size_t maxBytes, const std::string& caFile,
          std::function<void(Result)> done)
        : maxBytes_(maxBytes), done_(std::move(done)) {
        QNetworkRequest request(QUrl(QString::fromStdString(address)));
        request.setTransferTimeout(kTransferTimeoutMs);
        if (!caFile.empty()) {
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.setCaCertificates(QSslCertificate::fromPath(QString::fromStdString(caFile)));
            request.setSslConfiguration(tls);
        }
        reply_ = network().get(request);
        // Qt stops reading the socket when this much waits, so a flood costs no memory.
        reply_->setReadBufferSize(static_cast<qint64>(maxBytes_) + 1);
        QObject::connect(reply_, &QNetworkReply::readyRead, reply_, [this] { take(); });
        QObject::connect(reply_, &QNetworkReply::finished, reply_, [this] { finish(); });
    }

    ~Reply() {
        if (!reply_) return;
        reply_->disconnect();
        reply_->abort();
        reply_->deleteLater();
    }

private:
    // Whether the read is over: past the bound, it is (and this may be gone).
    bool take() {
        const QByteArray more = reply_->read(static_cast<qint64>(maxBytes_ + 1 - bytes_.size()));
        bytes_.append(more.constData(), static_cast<std::size_t>(more.size()));
        if (bytes_.size() <= maxBytes_) return false;
        end(true, false);
        return true;
    }

    void finish() {
        if (!take()) end(reply_->error() == QNetworkReply::NoError, true);
    }

    void end(bool ok, bool whole) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect();
        reply->abort();
        reply->deleteLater();
        bytes_.resize(std::min(bytes_.size(), maxBytes_));
        // done may destroy this read, so nothing of it is touched after the call.
        auto done = std::move(done_);
        done({ok, whole, std::move(bytes_)});
    }

    const std::size_t maxBytes_;
    std::function<void(Result)> done_;
    QNetworkReply* reply_ = nullptr;
    std::string bytes_;
};

WebRead::WebRead(const std::string& address, std::size_t maxBytes, const std::string& caFile,
                 std::function<void(Result)> done)
    : reply_(std::make_unique<Reply>(address, maxBytes, caFile, std::move(done))) {}

WebRead::~WebRead() = default;

}  // namespace platform
