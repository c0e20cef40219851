#include "platform/desktop_bus/media_remote.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTimer>
#include <optional>

#include "platform/event_dispatch.h"

namespace platform {

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kIntrospectable = QStringLiteral("org.freedesktop.DBus.Introspectable");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// Written out rather than generated: the object answers its messages itself.
const char kIntrospection[] =
    R"(<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
 <interface name="org.freedesktop.DBus.Introspectable">
  <method name="Introspect"><arg name="xml" type="s" direction="out"/></method>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/><arg name="value" type="v" direction="out"/></method>
  <method name="GetAll"><arg name="interface" type="s" direction="in"/><arg name="values" type="a{sv}" direction="out"/></method>
  <method name="Set"><arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/><arg name="value" type="v" direction="in"/></method>
  <signal name="PropertiesChanged"><arg name="interface" type="s"/><arg name="changed" type="a{sv}"/><arg name="invalidated" type="as"/></signal>
 </interface>
 <interface name="org.mpris.MediaPlayer2">
  <method name="Raise"/>
  <method name="Quit"/>
  <property name="CanQuit" type="b" access="read"/>
  <property name="CanRaise" type="b" access="read"/>
  <property name="HasTrackList" type="b" access="read"/>
  <property name="Identity" type="s" access="read"/>
  <property name="DesktopEntry" type="s" access="read"/>
  <property name="SupportedUriSchemes" type="as" access="read"/>
  <property name="SupportedMimeTypes" type="as" access="read"/>
 </interface>
 <interface name="org.mpris.MediaPlayer2.Player">
  <method name="Next"/>
  <method name="Previous"/>
  <method name="Pause"/>
  <method name="PlayPause"/>
  <method name="Stop"/>
  <method name="Play"/>
  <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
  <method name="SetPosition"><arg name="TrackId" type="o" direction="in"/><arg name="Position" type="x" direction="in"/></method>
  <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
  <signal name="Seeked"><arg name="Position" type="x"/></signal>
  <property name="PlaybackStatus" type="s" access="read"/>
  <property name="Rate" type="d" access="readwrite"/>
  <property name="Metadata" type="a{sv}" access="read"/>
  <property name="Volume" type="d" access="readwrite"/>
  <property name="Position" type="x" access="read"/>
  <property name="MinimumRate" type="d" access="read"/>
  <property name="MaximumRate" type="d" access="read"/>
  <property name="CanGoNext" type="b" access="read"/>
  <property name="CanGoPrevious" type="b" access="read"/>
  <property name="CanPlay" type="b" access="read"/>
  <property name="CanPause" type="b" access="read"/>
  <property name="CanSeek" type="b" access="read"/>
  <property name="CanControl" type="b" access="read"/>
 </interface>
</node>
)";

QString text(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

class MediaRemote::Object : public QDBusVirtualObject {
public:
    explicit Object(MediaRemote& owner) : owner_(owner) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage) return false;
        const QString interface = message.interface();
        const QString member = message.member();
        const QVariantList args = message.arguments();
        auto reply = [&](const QVariantList& values = {}) {
            connection.send(message.createReply(values));
            return true;
        };
        auto fail = [&](const char* name, const QString& why) {
            connection.send(message.createErrorReply(QString::fromLatin1(name), why));
            return true;
        };

        auto unknownMethod = [&] {
            return fail("org.freedesktop.DBus.Error.UnknownMethod",
                        QStringLiteral("No method %1.%2").arg(interface, member));
        };

        if (member == QLatin1String("Introspect") &&
            (interface == kIntrospectable || interface.isEmpty()))
            return reply({QString::fromLatin1(kIntrospection)});

        if (interface == kProperties) {
            const QString signature = message.signature();
            const bool get = member == QLatin1String("Get") && signature == QLatin1String("ss");
            const bool getAll =
                member == QLatin1String("GetAll") && signature == QLatin1String("s");
            const bool set = member == QLatin1String("Set") && signature == QLatin1String("ssv");
            if (!get && !getAll && !set) {
                if (member != QLatin1String("Get") && member != QLatin1String("GetAll") &&
                    member != QLatin1String("Set"))
                    return unknownMethod();
                return fail("org.freedesktop.DBus.Error.InvalidArgs",
                            QStringLiteral("Wrong arguments for %1").arg(member));
            }
            const QString of = args.value(0).toString();
            if (of != kRoot && of != kPlayer)
                return fail("org.freedesktop.DBus.Error.UnknownInterface", of);
            if (getAll) return reply({properties(of)});
            const QString name = args.value(1).toString();
            const QVariantMap all = properties(of);
            if (!all.contains(name))
                return fail("org.freedesktop.DBus.Error.UnknownProperty", name);
            if (get) return reply({QVariant::fromValue(QDBusVariant(all.value(name)))});
            const QVariant value = args.value(2).value<QDBusVariant>().variant();
            if (of == kPlayer && name == QLatin1String("Volume")) {
                bool ok = false;
                const double volume = value.toDouble(&ok);
                if (!ok) return fail("org.freedesktop.DBus.Error.InvalidArgs", name);
                later([this, volume] {
                    if (owner_.SetVolume) owner_.SetVolume(volume);
                });
                return reply();
            }
            // A live stream plays at one speed; the only rate there is stays as it is.
            if (of == kPlayer && name == QLatin1String("Rate")) return reply();
            return fail("org.freedesktop.DBus.Error.PropertyReadOnly", name);
        }

        if (interface == kRoot || (interface.isEmpty() && isRootMethod(member))) {
            if (member == QLatin1String("Raise")) return run(owner_.Raise, reply);
            if (member == QLatin1String("Quit")) return run(owner_.Quit, reply);
            return unknownMethod();
        }
        if (interface == kPlayer || interface.isEmpty()) {
            if (member == QLatin1String("Play")) return run(owner_.Play, reply);
            if (member == QLatin1String("Pause")) return run(owner_.Pause, reply);
            if (member == QLatin1String("PlayPause")) return run(owner_.PlayPause, reply);
            if (member == QLatin1String("Stop")) return run(owner_.Stop, reply);
            if (member == QLatin1String("Next")) return run(owner_.Next, reply);
            if (member == QLatin1String("Previous")) return run(owner_.Previous, reply);
            // Nothing to seek in a live stream.
            if (member == QLatin1String("Seek") || member == QLatin1String("SetPosition"))
                return reply();
            if (member == QLatin1String("OpenUri"))
                return fail("org.freedesktop.DBus.Error.NotSupported",
                            QStringLiteral("Stations are chosen from the station list"));
            return unknownMethod();
        }
        return fail("org.freedesktop.DBus.Error.UnknownInterface", interface);
    }

    // What the controls would read now; the track number moves on with every new title.
    QVariantMap properties(const QString& of) {
        if (of == kRoot) {
            return {{"CanQuit", true},
                    {"CanRaise", true},
                    {"HasTrackList", false},
                    {"Identity", identity},
                    {"DesktopEntry", desktopEntry},
                    {"SupportedUriSchemes", QStringList()},
                    {"SupportedMimeTypes", QStringList()}};
        }
        if (of != kPlayer) return {};
        const MediaRemoteState state = current();
        return {{"PlaybackStatus", state.playing ? "Playing" : "Stopped"},
                {"Rate", 1.0},
                {"MinimumRate", 1.0},
                {"MaximumRate", 1.0},
                {"Metadata", metadata(state)},
                {"Volume", state.volume},
                {"Position", qlonglong(0)},
                {"CanGoNext", true},
                {"CanGoPrevious", true},
                {"CanPlay", state.canPlay},
                {"CanPause", state.playing},
                {"CanSeek", false},
                {"CanControl", true}};
    }

    MediaRemoteState current() {
        MediaRemoteState state = owner_.State ? owner_.State() : MediaRemoteState{};
        if (!track_ || state.title != shown_.title || state.album != shown_.album ||
            state.url != shown_.url) {
            track_ = track_.value_or(0) + 1;
        }
        shown_ = state;
        return state;
    }

    QVariantMap metadata(const MediaRemoteState& state) const {
        if (state.title.empty())
            return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(kNoTrack))}};
        const QString track = QStringLiteral("/org/wavelark/Track/%1").arg(*track_);
        return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(track))},
                {"xesam:title", text(state.title)},
                {"xesam:album", text(state.album)},
                {"xesam:url", text(state.url)}};
    }

    // Sends PropertiesChanged with what differs from the last announcement. Position is
    // never announced: listeners ask for it. This runs after every window event, mouse moves
    // included, so an unchanged state ends here, before any bus value is built.
    void announce() {
        const MediaRemoteState state = owner_.State ? owner_.State() : MediaRemoteState{};
        if (announcedState_ == state && announcedTrack_ == track_) return;
        const QVariantMap now = properties(kPlayer);
        announcedState_ = shown_;
        announcedTrack_ = track_;
        QVariantMap changed;
        for (const char* name : {"PlaybackStatus", "Metadata", "Volume", "CanPlay", "CanPause",
                                 "CanGoNext", "CanGoPrevious", "CanControl", "CanSeek"}) {
            if (now.value(name) != announced_.value(name)) changed.insert(name, now.value(name));
        }
        announced_ = now;
        if (changed.isEmpty()) return;
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kProperties, QStringLiteral("PropertiesChanged"));
        signal << kPlayer << changed << QStringList();
        QDBusConnection::sessionBus().send(signal);
    }

    QString identity, desktopEntry, busName;
    bool published = false;
    unsigned otherCopy = 0;

private:
    static bool isRootMethod(const QString& member) {
        return member == QLatin1String("Raise") || member == QLatin1String("Quit");
    }

    // Answered at once; the command runs as its own event, as a click would, so a message
    // box it raises never holds up the bus.
    template <typename Reply>
    bool run(const std::function<void()>& handler, Reply& reply) {
        later([handler] {
            if (handler) handler();
        });
        return reply();
    }

    void later(std::function<void()> command) {
        QTimer::singleShot(0, this, [command = std::move(command)] { dispatch(command); });
    }

    MediaRemote& owner_;
    MediaRemoteState shown_;
    std::optional<int> track_;
    QVariantMap announced_;
    // What the last announcement was made from.
    std::optional<MediaRemoteState> announcedState_;
    std::optional<int> announcedTrack_;
};

MediaRemote::MediaRemote(std::string playerName, std::string identity, std::string desktopEntry)
    : object_(std::make_unique<Object>(*this)) {
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
    // The object first, so that whoever sees the name appear finds it answering.
    if (!bus.registerVirtualObject(kPath, object_.get())) return Start::NoSessionBus;
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
    const QDBusError answer(bus.call(raise, QDBus::Block, 5000));
    if (answer.type() != QDBusError::NoReply && answer.type() != QDBusError::Timeout)
        return Start::AnotherCopyRuns;
    // The bus itself answers for a copy that does not: it knows the holder's process.
    const auto holder = bus.interface()->servicePid(object_->busName);
    object_->otherCopy = holder.isValid() ? holder.value() : 0;
    return Start::AnotherCopyHangs;
}

unsigned MediaRemote::otherCopyProcess() const { return object_->otherCopy; }

void MediaRemote::refresh() {
    if (object_->published) object_->announce();
}

}  // namespace platform
