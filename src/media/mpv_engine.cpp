#include "media/mpv_engine.h"

#include <mpv/client.h>

#include <strings.h>
#include <algorithm>
#include <charconv>
#include <clocale>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "platform/log.h"

namespace media {

namespace {

// The safe embedding: no user configuration, scripts, downloaders or key bindings, audio only,
// and nothing from a playlist that points at this machine's files. The cache keeps what a
// live stream needs, in memory: the hold and a bounded read-ahead (both set from the stream's
// settings), and what little is already played.
constexpr std::pair<const char*, const char*> kEngineOptions[] = {
    {"config", "no"},
    {"terminal", "no"},
    {"load-scripts", "no"},
    {"ytdl", "no"},
    {"osc", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"load-unsafe-playlists", "no"},
    // mpv reads a playlist to its end, however long a server makes it: the player reads them
    // itself, bounded, when mpv finds no stream at an address (see kLoadFailedHook).
    {"access-references", "no"},
    // mpv names its sound-server stream after the title otherwise, and a title of megabytes
    // ends the connection to PulseAudio.
    {"title", "Wavelark"},
    {"vid", "no"},
    {"audio-display", "no"},
    {"idle", "yes"},
    // When the sound server goes away (a restart after an update, a crash), the stream plays on
    // into nothing instead of ending, so the sound can come back without a new connection.
    {"audio-fallback-to-null", "yes"},
    {"cache", "yes"},
    {"cache-pause-initial", "yes"},
    // The read-ahead and the stream already played share 1 MiB (and 64 KiB): 10 s of
    // 320 kbit/s fit, and a 5 s hold of up to 800 kbit/s twice over. mpv would keep 50 MiB
    // played for seeking back, which a radio never does (memory grew 2.6 MB a minute at
    // 128 kbit/s). Some must stay: with no back buffer, or a fixed one smaller than the hold,
    // mpv drops the station's title before playback reaches it; so the back buffer takes the
    // room the read-ahead leaves.
    {"demuxer-max-bytes", "1MiB"},
    {"demuxer-max-back-bytes", "64KiB"},
    {"demuxer-donate-buffer", "yes"},
    // Never on disk, whatever mpv's default becomes.
    {"cache-on-disk", "no"},
    // FFmpeg indexes every MP3 frame for seeking, up to 1 MiB per stream: 0.05 MB a minute
    // for the first 20, whatever the bit rate. Nothing seeks in a live stream. (One list: any
    // further FFmpeg demuxer option goes here too, or it replaces this one.)
    {"demuxer-lavf-o", "indexmem=4096"},
    // Covers connecting and a server that goes silent; the stall surfaces as an end of file,
    // which the reconnect handles.
    {"network-timeout", "15"},
    {"audio-client-name", "Wavelark"},
    // https: mpv accepts any certificate unless told to check it.
    {"tls-verify", "yes"},
};

using EndReason = StreamStateMachine::EndReason;
using Cause = Failure::Cause;

// Every property the control reads or writes, in the order of their ids.
struct PropertyInfo {
    MpvProperty id;
    const char* name;
    mpv_format format;
    bool watched;  // every change comes back with the id; the others are read or written
};
constexpr PropertyInfo kProperties[] = {
    {MpvProperty::CoreIdle, "core-idle", MPV_FORMAT_FLAG, true},
    {MpvProperty::PausedForCache, "paused-for-cache", MPV_FORMAT_FLAG, true},
    {MpvProperty::BufferingState, "cache-buffering-state", MPV_FORMAT_INT64, true},
    {MpvProperty::Metadata, "metadata", MPV_FORMAT_NODE, true},
    // Live streams have no size; a file served whole does. (Duration is no help: mpv learns
    // a live stream's length once its end is in the cache.)
    {MpvProperty::FileSize, "file-size", MPV_FORMAT_INT64, true},
    // "null" once the sound server went away (audio-fallback-to-null).
    {MpvProperty::SoundOutput, "current-ao", MPV_FORMAT_STRING, true},
    // Asked for once per played second (see StreamStateMachine::bufferEnd).
    {MpvProperty::CacheState, "demuxer-cache-state", MPV_FORMAT_NODE, false},
    {MpvProperty::Volume, "volume", MPV_FORMAT_DOUBLE, false},
    {MpvProperty::Mute, "mute", MPV_FORMAT_FLAG, false},
    {MpvProperty::OpenAddress, "stream-open-filename", MPV_FORMAT_STRING, false},
};

constexpr const PropertyInfo& info(MpvProperty id) {
    return kProperties[static_cast<std::size_t>(id) - 1];
}
constexpr bool inIdOrder() {
    for (std::size_t i = 0; i < std::size(kProperties); ++i) {
        if (static_cast<std::size_t>(kProperties[i].id) != i + 1) return false;
    }
    return true;
}
static_assert(inIdOrder());

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// FFmpeg logs "HTTP error 404 File Not Found"; 0 when the line holds no status.
int httpStatusIn(std::string_view text) {
    constexpr std::string_view marker = "HTTP error ";
    const auto at = text.find(marker);
    if (at == std::string_view::npos) return 0;
    const char* first = text.data() + at + marker.size();
    int status = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), status);
    return error == std::errc() && end != first ? status : 0;
}

void feedMetadata(StreamStateMachine& machine, const mpv_node* metadata) {
    // Unavailable while a stream (re)connects: keep the title until the stream says otherwise.
    if (!metadata || metadata->format != MPV_FORMAT_NODE_MAP) return;
    const char* icyTitle = nullptr;
    const char* tagTitle = nullptr;
    for (int i = 0; i < metadata->u.list->num; ++i) {
        const mpv_node& value = metadata->u.list->values[i];
        if (value.format != MPV_FORMAT_STRING) continue;
        const char* key = metadata->u.list->keys[i];
        // Vorbis comment names are case-insensitive.
        if (strcasecmp(key, "icy-title") == 0) icyTitle = value.u.string;
        if (strcasecmp(key, "title") == 0) tagTitle = value.u.string;
    }
    if (icyTitle) {
        machine.titleSent(icyTitle);
    } else if (tagTitle) {
        machine.tagTitleSent(tagTitle);
    }
}

void feedCacheState(StreamStateMachine& machine, const mpv_node& state,
                    std::chrono::milliseconds now) {
    if (state.format != MPV_FORMAT_NODE_MAP) return;
    // The stream time of the newest data in the cache: it stands still while no byte comes.
    double end = 0;
    bool endReached = false;
    for (int i = 0; i < state.u.list->num; ++i) {
        const std::string_view key = state.u.list->keys[i];
        const mpv_node& value = state.u.list->values[i];
        if (key == "cache-end" && value.format == MPV_FORMAT_DOUBLE) end = value.u.double_;
        if (key == "eof" && value.format == MPV_FORMAT_FLAG) endReached = value.u.flag != 0;
    }
    // A figure no stream can hold (NaN, negative, centuries) says nothing; converting it would
    // not even be defined.
    if (!(end >= 0 && end <= 1e9)) return;
    machine.bufferEnd(std::chrono::milliseconds(static_cast<std::int64_t>(end * 1000)), endReached,
                      now);
}

}  // namespace

std::optional<Failure> failureInLog(std::string_view prefix, std::string_view level,
                                    std::string_view text) {
    if (level != "error" && level != "warn" && level != "fatal") return std::nullopt;
    if (contains(text, "Connection refused")) {
        // The audio output's own "Init failed: Connection refused" is a sound server, not the
        // station; the output's failure line below says so.
        if (prefix.starts_with("ao")) return std::nullopt;
        return Failure{Cause::ConnectionRefused};
    }
    if (prefix == "ffmpeg" && contains(text, "tls: ") && contains(text, "certificate")) {
        // GnuTLS's "Peer certificate failed verification", "The certificate's owner does not
        // match hostname ..." and "Unable to verify peer certificate".
        return Failure{Cause::CertificateNotTrusted};
    }
    if (const int status = httpStatusIn(text); status != 0) {
        if (status == 404 || status == 410) return Failure{Cause::NotFound};
        return Failure{Cause::ServerError, status};
    }
    if (contains(text, "Failed to resolve hostname") ||
        contains(text, "Name or service not known")) {
        return Failure{Cause::HostNotFound};
    }
    if (contains(text, "timed out") || contains(text, "Timed out")) return Failure{Cause::TimedOut};
    if (contains(text, "Refusing to load potentially unsafe URL")) {
        return Failure{Cause::UnsafePlaylistEntry};
    }
    if (contains(text, "Failed to recognize file format")) return Failure{Cause::UnsupportedFormat};
    // Only the final word: single drivers may fail while another one works.
    if (contains(text, "Could not open/initialize audio device")) {
        return Failure{Cause::NoSoundDevice};
    }
    return std::nullopt;
}

Failure failureAtEnd(int mpvError) {
    switch (mpvError) {
        case MPV_ERROR_AO_INIT_FAILED:
            return {Cause::NoSoundDevice};
        case MPV_ERROR_UNKNOWN_FORMAT:
        case MPV_ERROR_NOTHING_TO_PLAY:
        case MPV_ERROR_UNSUPPORTED:
            return {Cause::UnsupportedFormat};
        default:
            return {};
    }
}

mpv_handle* startMpvEngine(const MpvClient& mpv, const EngineOptions& options, double volume,
                           bool muted) {
    // mpv refuses to start unless numbers are formatted the C way; the application object
    // has set the user's locale by now.
    std::setlocale(LC_NUMERIC, "C");
    mpv_handle* handle = mpv.create();
    if (!handle) return nullptr;
    bool ok = true;
    for (const auto& [name, value] : kEngineOptions) {
        ok = ok && mpv.setOptionString(handle, name, value) >= 0;
    }
    const auto seconds = [](std::chrono::milliseconds span) { return span.count() / 1000.0; };
    double hold = seconds(options.stream.hold);
    double readAhead = std::max(hold, seconds(options.stream.readAhead));
    ok = ok && mpv.setOption(handle, "cache-pause-wait", MPV_FORMAT_DOUBLE, &hold) >= 0;
    ok = ok && mpv.setOption(handle, "cache-secs", MPV_FORMAT_DOUBLE, &readAhead) >= 0;
    // PulseAudio asks for audio as often as the stream's buffer is short: 200 ms instead of
    // mpv's 100 ms halves the engine's wakeups and CPU while playing. Volume and mute are
    // applied before that buffer, so they are heard 0.2 s after the click instead of 0.1 s;
    // stop and a new station still cut at once. Only PulseAudio's output has the option.
    mpv.setOptionString(handle, "pulse-buffer", "200");
    // Without a file of its own, FFmpeg checks against the system's trust store.
    if (!options.caFile.empty()) {
        ok = ok && mpv.setOptionString(handle, "tls-ca-file", options.caFile.c_str()) >= 0;
    }
    if (!options.audioOutput.empty()) {
        ok = ok && mpv.setOptionString(handle, "ao", options.audioOutput.c_str()) >= 0;
    }
    for (const auto& [name, value] : options.extraOptions) {
        ok = ok && mpv.setOptionString(handle, name.c_str(), value.c_str()) >= 0;
    }
    int mute = muted ? 1 : 0;
    for (const auto& [id, value] : {std::pair<MpvProperty, void*>{MpvProperty::Volume, &volume},
                                    {MpvProperty::Mute, &mute}}) {
        ok = ok && mpv.setOption(handle, info(id).name, info(id).format, value) >= 0;
    }
    ok = ok && mpv.initialize(handle) >= 0;
    if (!ok) {
        mpv.terminateDestroy(handle);
        return nullptr;
    }
    // Warnings and errors carry the reasons that end-file codes leave out.
    mpv.requestLogMessages(handle, "warn");
    for (const auto& property : kProperties) {
        if (property.watched) {
            mpv.observeProperty(handle, static_cast<std::uint64_t>(property.id), property.name,
                                property.format);
        }
    }
    mpv.hookAdd(handle, kLoadFailedHook, "on_load_fail", 0);
    return handle;
}

void setVolume(const MpvClient& mpv, mpv_handle* handle, double volume) {
    const auto& volumeInfo = info(MpvProperty::Volume);
    mpv.setPropertyAsync(handle, 0, volumeInfo.name, volumeInfo.format, &volume);
}

void setMute(const MpvClient& mpv, mpv_handle* handle, bool muted) {
    int flag = muted ? 1 : 0;
    const auto& muteInfo = info(MpvProperty::Mute);
    mpv.setPropertyAsync(handle, 0, muteInfo.name, muteInfo.format, &flag);
}

void askCacheState(const MpvClient& mpv, mpv_handle* handle) {
    const auto& cache = info(MpvProperty::CacheState);
    mpv.getPropertyAsync(handle, static_cast<std::uint64_t>(cache.id), cache.name, cache.format);
}

void askOpenAddress(const MpvClient& mpv, mpv_handle* handle) {
    const auto& open = info(MpvProperty::OpenAddress);
    mpv.getPropertyAsync(handle, static_cast<std::uint64_t>(open.id), open.name, open.format);
}

void openInstead(const MpvClient& mpv, mpv_handle* handle, const std::string& address) {
    const auto& open = info(MpvProperty::OpenAddress);
    const char* text = address.c_str();
    mpv.setPropertyAsync(handle, static_cast<std::uint64_t>(open.id), open.name, open.format,
                         &text);
}

void feedEvent(StreamStateMachine& machine, const mpv_event& event, std::chrono::milliseconds now,
               bool nullOutputChosen) {
    switch (event.event_id) {
        case MPV_EVENT_COMMAND_REPLY: {
            // loadfile answers with the id of the entry it added.
            std::optional<std::int64_t> entry;
            const mpv_node& result = static_cast<const mpv_event_command*>(event.data)->result;
            for (int i = 0; result.format == MPV_FORMAT_NODE_MAP && i < result.u.list->num; ++i) {
                const mpv_node& value = result.u.list->values[i];
                if (std::string_view(result.u.list->keys[i]) == "playlist_entry_id" &&
                    value.format == MPV_FORMAT_INT64) {
                    entry = value.u.int64;
                }
            }
            machine.loadReplied(event.reply_userdata, event.error >= 0, entry, now);
            break;
        }
        case MPV_EVENT_START_FILE:
            machine.fileStarted(
                static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id, now);
            break;
        case MPV_EVENT_FILE_LOADED:
            machine.fileLoaded(now);
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            machine.playbackRestarted();
            break;
        case MPV_EVENT_END_FILE: {
            const auto& end = *static_cast<const mpv_event_end_file*>(event.data);
            const auto reason = end.reason == MPV_END_FILE_REASON_EOF     ? EndReason::Eof
                                : end.reason == MPV_END_FILE_REASON_ERROR ? EndReason::Error
                                                                          : EndReason::Other;
            machine.fileEnded(end.playlist_entry_id, reason, failureAtEnd(end.error), now);
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto& property = *static_cast<const mpv_event_property*>(event.data);
            const auto id = static_cast<MpvProperty>(event.reply_userdata);
            if (event.reply_userdata == 0 || event.reply_userdata > std::size(kProperties)) break;
            // Unavailable values come without their format.
            const bool available = property.format == info(id).format;
            const auto flag = [&] { return available && *static_cast<const int*>(property.data); };
            const auto number = [&]() -> std::int64_t {
                return available ? *static_cast<const std::int64_t*>(property.data) : 0;
            };
            switch (id) {
                case MpvProperty::CoreIdle:
                    // Unavailable counts as idle.
                    machine.coreIdleChanged(!available || flag());
                    break;
                case MpvProperty::PausedForCache:
                    machine.pausedForCacheChanged(flag());
                    break;
                case MpvProperty::BufferingState:
                    machine.bufferingChanged(static_cast<int>(number()));
                    break;
                case MpvProperty::FileSize:
                    machine.sizeKnown(number() > 0);
                    break;
                case MpvProperty::Metadata:
                    if (available)
                        feedMetadata(machine, static_cast<const mpv_node*>(property.data));
                    break;
                case MpvProperty::SoundOutput:
                    // Unavailable between entries and while the output reopens: no news.
                    if (available) {
                        const std::string_view output =
                            *static_cast<const char* const*>(property.data);
                        machine.soundOutputChanged(output != "null" || nullOutputChosen);
                    }
                    break;
                default:
                    break;
            }
            break;
        }
        case MPV_EVENT_GET_PROPERTY_REPLY: {
            const auto& property = *static_cast<const mpv_event_property*>(event.data);
            if (event.reply_userdata == static_cast<std::uint64_t>(MpvProperty::CacheState) &&
                event.error >= 0 && property.format == info(MpvProperty::CacheState).format) {
                feedCacheState(machine, *static_cast<const mpv_node*>(property.data), now);
            }
            break;
        }
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* message = static_cast<const mpv_event_log_message*>(event.data);
            if (const auto failure = failureInLog(message->prefix, message->level, message->text)) {
                machine.failureLogged(*failure);
            }
            // Kept for whoever asks why a station fails; the strip has room for one word.
            std::string line = std::string("mpv [") + message->prefix + "] " + message->level +
                               ": " + message->text;
            if (line.ends_with('\n')) line.pop_back();
            platform::logWarning(platform::LogRoom::Media, line);
            break;
        }
        default:
            break;
    }
}

}  // namespace media
