// The media controls' object on a bus of the test's own: Qt answers for its properties, and a
// change is announced once, with nothing else in it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <fstream>
#include <functional>

#include "platform/desktop_bus/media_remote.h"
#include "scratch_folder.h"

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");

class Announcements : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> seen;
public slots:
    void changed(const QString&, const QVariantMap& properties, const QStringList&) {
        seen.append(properties);
    }
};

bool waitFor(const std::function<bool()>& ready) {
    QElapsedTimer clock;
    clock.start();
    while (!ready() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return ready();
}

// A session bus in the scratch folder that starts no service of the machine's.
QString startBus(QProcess& daemon, const ScratchFolder& folder) {
    const std::string config = (folder.path() / "bus.conf").string();
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                             "Configuration 1.0//EN\" "
                             "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                             "<busconfig><type>session</type><listen>unix:dir="
                          << folder.path().string()
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                             "<allow own=\"*\"/></policy>"
                             "</busconfig>";
    daemon.start("dbus-daemon", {"--config-file=" + QString::fromStdString(config), "--nofork",
                                 "--nopidfile", "--print-address=1"});
    while (!daemon.canReadLine() && daemon.waitForReadyRead(10000)) {
    }
    return QString::fromUtf8(daemon.readLine()).trimmed();
}

TEST(MediaRemote, AnnouncesAChangeOnceAndQtAnswersForItsProperties) {
    ScratchFolder folder;
    QProcess daemon;
    const QString address = startBus(daemon, folder);
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    {
        QDBusConnection listener = QDBusConnection::connectToBus(address, "listener");
        Announcements announcements;
        ASSERT_TRUE(listener.connect({}, kPath, "org.freedesktop.DBus.Properties",
                                     "PropertiesChanged", &announcements,
                                     SLOT(changed(QString, QVariantMap, QStringList))));
        listener.interface()->registeredServiceNames();  // the match is in place

        platform::MediaRemoteState state;
        platform::MediaRemote remote("test", "Test", "test.desktop");
        remote.State = [&] { return state; };
        ASSERT_EQ(remote.publish(), platform::MediaRemote::Start::Published);
        ASSERT_TRUE(waitFor([&] { return announcements.seen.size() == 1; }));

        state.volume = 0.5;
        remote.refresh();
        remote.refresh();
        state.playing = true;  // announced after the volume, so it closes the count
        remote.refresh();
        ASSERT_TRUE(waitFor([&] { return announcements.seen.size() >= 3; }));
        EXPECT_EQ(announcements.seen.size(), 3);
        EXPECT_EQ(announcements.seen[1], (QVariantMap{{"Volume", 0.5}}));
        EXPECT_EQ(announcements.seen[2].keys(), (QStringList{"CanPause", "PlaybackStatus"}));

        QDBusMessage get = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.test", kPath,
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << "org.mpris.MediaPlayer2.Player"
            << "Volume";
        QDBusPendingCall reply = listener.asyncCall(get, 10000);  // answered by this thread
        ASSERT_TRUE(waitFor([&] { return reply.isFinished(); }));
        EXPECT_EQ(reply.reply().arguments().value(0).value<QDBusVariant>().variant(),
                  QVariant(0.5));
    }
    QDBusConnection::disconnectFromBus("listener");
    daemon.terminate();
    daemon.waitForFinished(5000);
}

}  // namespace

#include "media_remote_test.moc"
