#include "platform/desktop_bus/media_remote.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMetaProperty>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <optional>

#include "platform/event_dispatch.h"

namespace platform {

namespace {

// How often a name left by a copy that quits is tried again before running without it.
constexpr int kClaimAttempts = 5;

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

QString text(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

// The object at the player's path. Its interfaces are the two adaptors below; Qt answers
// introspection, Get, GetAll and Set from their properties, and every wrong call with the
// error D-Bus names for it.
class MediaRemote::Object : public QObject {
public:
    explicit Object(MediaRemote& owner) : owner(owner) {}

    MediaRemoteState state() const { return owner.State ? owner.State() : MediaRemoteState{}; }

    // Answered at once; the command runs as its own event, as a click would, so a message
    // box it raises never holds up the bus.
    void later(std::function<void()> command) {
        QTimer::singleShot(0, this, [command = std::move(command)] { dispatch(command); });
    }
    void later(const std::function<void()>* handler) {
        later([handler] {
            if (*handler) (*handler)();
        });
    }

    void announce();

    MediaRemote& owner;
    QObject* player = nullptr;
    QString identity, desktopEntry, busName;
    bool published = false;
    unsigned otherCopy = 0;
    // Moves on with every new title, station or address, so a listener sees a new track.
    int track = 0;

private:
    // What the last announcement was made from, and what it said.
    std::optional<MediaRemoteState> announcedState_;
    QVariantMap announced_;
};

// org.mpris.MediaPlayer2: the application.
class MprisApplication : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit CONSTANT)
    Q_PROPERTY(bool CanRaise READ CanRaise CONSTANT)
    Q_PROPERTY(bool HasTrackList READ HasTrackList CONSTANT)
    Q_PROPERTY(QString Identity READ Identity CONSTANT)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry CONSTANT)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes CONSTANT)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes CONSTANT)

public:
    explicit MprisApplication(MediaRemote::Object& object)
        : QDBusAbstractAdaptor(&object), object_(object) {}

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return object_.identity; }
    QString DesktopEntry() const { return object_.desktopEntry; }
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public slots:
    void Raise() { object_.later(&object_.owner.Raise); }
    void Quit() { object_.later(&object_.owner.Quit); }

private:
    MediaRemote::Object& object_;
};

// org.mpris.MediaPlayer2.Player: a live stream, so no seeking and one rate.
class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate CONSTANT)
    Q_PROPERTY(double MaximumRate READ Rate CONSTANT)
    Q_PROPERTY(bool CanGoNext READ Yes)
    Q_PROPERTY(bool CanGoPrevious READ Yes)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ No)
    Q_PROPERTY(bool CanControl READ Yes)

public:
    explicit MprisPlayer(MediaRemote::Object& object)
        : QDBusAbstractAdaptor(&object), object_(object) {}

    QString PlaybackStatus() const {
        return object_.state().playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
    }
    double Rate() const { return 1.0; }
    // The only rate there is stays as it is.
    void setRate(double) {}
    QVariantMap Metadata() const {
        const MediaRemoteState state = object_.state();
        if (state.title.empty())
            return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(kNoTrack))}};
        const QString track = QStringLiteral("/org/wavelark/Track/%1").arg(object_.track);
        return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(track))},
                {"xesam:title", text(state.title)},
                {"xesam:album", text(state.album)},
                {"xesam:url", text(state.url)}};
    }
    double Volume() const { return object_.state().volume; }
    void setVolume(double volume) {
        object_.later([this, volume] {
            if (object_.owner.SetVolume) object_.owner.SetVolume(volume);
        });
    }
    // Listeners ask for it; it is never announced.
    qlonglong Position() const { return 0; }
    bool Yes() const { return true; }
    bool No() const { return false; }
    bool CanPlay() const { return object_.state().canPlay; }
    bool CanPause() const { return object_.state().playing; }

public slots:
    void Next() { object_.later(&object_.owner.Next); }
    void Previous() { object_.later(&object_.owner.Previous); }
    void Pause() { object_.later(&object_.owner.Pause); }
    void PlayPause() { object_.later(&object_.owner.PlayPause); }
    void Stop() { object_.later(&object_.owner.Stop); }
    void Play() { object_.later(&object_.owner.Play); }
    // Nothing to seek in a live stream.
    void Seek(qlonglong Offset) { Q_UNUSED(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        Q_UNUSED(TrackId);
        Q_UNUSED(Position);
    }
    void OpenUri(const QString& Uri, const QDBusMessage& message) {
        Q_UNUSED(Uri);
        message.setDelayedReply(true);
        QDBusConnection::sessionBus().send(
            message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NotSupported"),
                                     QStringLiteral("Stations are chosen from the station list")));
    }

signals:
    void Seeked(qlonglong Position);

private:
    MediaRemote::Object& object_;
};

// Sends PropertiesChanged with what differs from the last announcement, read from the player
// interface's own properties (Position never: listeners ask for it). This runs after every
// window event, mouse moves included, so an unchanged state ends here, before any bus value
// is built.
void MediaRemote::Object::announce() {
    const MediaRemoteState now = state();
    if (announcedState_ == now) return;
    if (!announcedState_ || now.title != announcedState_->title ||
        now.album != announcedState_->album || now.url != announcedState_->url)
        ++track;
    announcedState_ = now;
    QVariantMap changed;
    const QMetaObject& meta = MprisPlayer::staticMetaObject;
    for (int k = meta.propertyOffset(); k < meta.propertyCount(); ++k) {
        const QMetaProperty property = meta.property(k);
        const QString name = QString::fromLatin1(property.name());
        if (property.isConstant() || name == QLatin1String("Position")) continue;
        const QVariant value = property.read(player);
        if (value != announced_.value(name)) changed.insert(name, value);
        announced_.insert(name, value);
    }
    if (changed.isEmpty()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayer << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

MediaRemote::MediaRemote(std::string playerName, std::string identity, std::string desktopEntry)
    : object_(std::make_unique<Object>(*this)) {
    new MprisApplication(*object_);
    object_->player = new MprisPlayer(*object_);
    object_->identity = text(identity);
    object_->desktopEntry = text(desktopEntry);
    object_->busName = kRoot + QLatin1Char('.') + text(playerName);
}

MediaRemote::~MediaRemote() { withdraw(); }

void MediaRemote::withdraw() {
    if (!object_->published) return;
    object_->published = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Sent without waiting for the answer: this may run in a window's handler.
    QDBusMessage release = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReleaseName"));
    release << object_->busName;
    bus.send(release);
    bus.unregisterObject(kPath);
}

MediaRemote::Start MediaRemote::publish() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return Start::NoSessionBus;
    // A copy that is quitting gives the name up a moment after it stops answering: then the
    // name is tried again, a few times, rather than taken for a copy that runs.
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        if (attempt > 0) QThread::msleep(100);
        // The object first, so that whoever sees the name appear finds it answering.
        if (!bus.registerObject(kPath, object_.get(), QDBusConnection::ExportAdaptors))
            return Start::NoSessionBus;
        const auto claimed = bus.interface()->registerService(
            object_->busName, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
        if (claimed.isValid() && claimed.value() == QDBusConnectionInterface::ServiceRegistered) {
            object_->published = true;
            object_->announce();
            return Start::Published;
        }
        bus.unregisterObject(kPath);
        if (!claimed.isValid()) return Start::NoSessionBus;
        // Start-up, before any window: waiting a moment for the other copy is harmless.
        const QDBusMessage raise =
            QDBusMessage::createMethodCall(object_->busName, kPath, kRoot, QStringLiteral("Raise"));
        const QDBusMessage answer = bus.call(raise, QDBus::Block, 5000);
        if (answer.type() == QDBusMessage::ReplyMessage) return Start::AnotherCopyRuns;
        const QDBusError error(answer);
        if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout) {
            // The bus itself answers for a copy that does not: it knows the holder's process.
            const auto holder = bus.interface()->servicePid(object_->busName);
            object_->otherCopy = holder.isValid() ? holder.value() : 0;
            return Start::AnotherCopyHangs;
        }
    }
    // The name is neither free nor held by a copy that answers: run without it.
    return Start::NoSessionBus;
}

unsigned MediaRemote::otherCopyProcess() const { return object_->otherCopy; }

void MediaRemote::refresh() {
    if (object_->published) object_->announce();
}

}  // namespace platform

#include "media_remote.moc"
