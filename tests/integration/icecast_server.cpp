#include "icecast_server.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "loopback.h"

namespace {
constexpr const char* kSourcePassword = "tone-source";
constexpr const char* kAdminPassword = "tone-admin";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

IcecastServer::IcecastServer(std::vector<std::string> moreMp3Mounts)
    : moreMp3Mounts_(std::move(moreMp3Mounts)) {
    char pattern[] = "/tmp/wavelark-icecast-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    folder_ = pattern;
    port_ = loopback::freePort();
    writeConfig();
}

IcecastServer::~IcecastServer() {
    moreMp3Sources_.clear();
    oggSource_.stop();
    mp3Source_.stop();
    server_.stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void IcecastServer::writeConfig() {
    // Icecast will not run as root: it then drops to its own user, which must own the logs.
    std::string security;
    if (geteuid() == 0) {
        const passwd* user = getpwnam("icecast2");
        const group* group = getgrnam("icecast");
        if (!user || !group) throw std::runtime_error("no icecast2 user or icecast group");
        if (chown(folder_.c_str(), user->pw_uid, group->gr_gid) != 0) {
            throw std::runtime_error("cannot hand the log folder to icecast2");
        }
        security =
            "<security><chroot>0</chroot><changeowner><user>icecast2</user>"
            "<group>icecast</group></changeowner></security>";
    }
    std::filesystem::permissions(
        folder_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                     std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                     std::filesystem::perms::others_exec);
    std::ofstream config(folder_ / "icecast.xml");
    config << "<icecast><location>loopback</location><admin>tests@localhost</admin>"
           << "<limits><clients>50</clients><sources>4</sources><burst-size>65536</burst-size>"
           << "<source-timeout>10</source-timeout></limits>"
           << "<authentication><source-password>" << kSourcePassword << "</source-password>"
           << "<admin-user>admin</admin-user><admin-password>" << kAdminPassword
           << "</admin-password></authentication>"
           << "<hostname>127.0.0.1</hostname>"
           << "<listen-socket><port>" << port_ << "</port><bind-address>127.0.0.1</bind-address>"
           << "</listen-socket>"
           << "<paths><basedir>/usr/share/icecast2</basedir><logdir>" << folder_.string()
           << "</logdir><webroot>/usr/share/icecast2/web</webroot>"
           << "<adminroot>/usr/share/icecast2/admin</adminroot></paths>"
           << "<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog>"
           << "<loglevel>3</loglevel></logging>" << security << "</icecast>\n";
}

void IcecastServer::start() {
    const std::string logs = (folder_ / "processes.log").string();
    server_.start({"icecast2", "-c", (folder_ / "icecast.xml").string()}, logs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (loopback::httpStatus(port_, "/status-json.xsl") != 200) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("icecast did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string target =
        "icecast://source:" + std::string(kSourcePassword) + "@127.0.0.1:" + std::to_string(port_);
    startMp3Source(mp3Source_, target + "/tone.mp3");
    moreMp3Sources_.clear();
    for (const auto& mount : moreMp3Mounts_) {
        startMp3Source(*moreMp3Sources_.emplace_back(std::make_unique<ChildProcess>()),
                       target + mount);
    }
    oggSource_.start({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-f",
                      "lavfi", "-i", "sine=frequency=1000:sample_rate=44100:duration=900", "-c:a",
                      "libvorbis", "-metadata", std::string("title=") + kOggTitle, "-content_type",
                      "application/ogg", "-f", "ogg", target + "/tone.ogg"},
                     logs);
    auto mounts = moreMp3Mounts_;
    mounts.insert(mounts.end(), {"/tone.mp3", "/tone.ogg"});
    while (std::any_of(mounts.begin(), mounts.end(), [&](const std::string& mount) {
        return loopback::httpStatus(port_, mount) != 200;
    })) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("sources did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void IcecastServer::startMp3Source(ChildProcess& source, const std::string& target) {
    source.start({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-f", "lavfi",
                  "-i", "sine=frequency=440:sample_rate=44100:duration=900", "-c:a", "libmp3lame",
                  "-b:a", "128k", "-content_type", "audio/mpeg", "-f", "mp3", target},
                 (folder_ / "processes.log").string());
}

void IcecastServer::kill() {
    server_.kill();
    mp3Source_.kill();
    oggSource_.kill();
    for (auto& source : moreMp3Sources_) source->kill();
}

std::string IcecastServer::url(const std::string& mount) const {
    return "http://127.0.0.1:" + std::to_string(port_) + mount;
}

bool IcecastServer::setTitle(const std::string& mount, const std::string& titleBytes) {
    const auto encoded = [](const std::string& bytes) {
        return QByteArray::fromStdString(bytes).toPercentEncoding().toStdString();
    };
    const std::string query =
        "/admin/metadata?mount=" + encoded(mount) + "&mode=updinfo&song=" + encoded(titleBytes);
    const std::string credentials = std::string("admin:") + kAdminPassword;
    const std::string auth = "Authorization: Basic " +
                             QByteArray::fromStdString(credentials).toBase64().toStdString() +
                             "\r\n";
    return loopback::httpStatus(port_, query, auth) == 200;
}

std::string IcecastServer::log() const {
    return readFile(folder_ / "processes.log") + readFile(folder_ / "error.log");
}
