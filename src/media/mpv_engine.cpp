#include "media/mpv_engine.h"

#include <mpv/client.h>

#include <strings.h>
#include <algorithm>
#include <clocale>
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
    {"vid", "no"},
    {"audio-display", "no"},
    {"idle", "yes"},
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
    if (const char* raw = icyTitle ? icyTitle : tagTitle) machine.titleSent(raw);
}

void feedCacheState(StreamStateMachine& machine, const mpv_node& state,
                    std::chrono::milliseconds now) {
    if (state.format != MPV_FORMAT_NODE_MAP) return;
    double ahead = 0;
    bool endReached = false;
    for (int i = 0; i < state.u.list->num; ++i) {
        const std::string_view key = state.u.list->keys[i];
        const mpv_node& value = state.u.list->values[i];
        if (key == "cache-duration" && value.format == MPV_FORMAT_DOUBLE) ahead = value.u.double_;
        if (key == "eof" && value.format == MPV_FORMAT_FLAG) endReached = value.u.flag != 0;
    }
    machine.bufferAhead(std::chrono::milliseconds(static_cast<std::int64_t>(ahead * 1000)),
                        endReached, now);
}

}  // namespace

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
    ok = ok && mpv.setOption(handle, "volume", MPV_FORMAT_DOUBLE, &volume) >= 0;
    ok = ok && mpv.setOption(handle, "mute", MPV_FORMAT_FLAG, &mute) >= 0;
    ok = ok && mpv.initialize(handle) >= 0;
    if (!ok) {
        mpv.terminateDestroy(handle);
        return nullptr;
    }
    // Warnings and errors carry the reasons that end-file codes leave out.
    mpv.requestLogMessages(handle, "warn");
    mpv.observeProperty(handle, kCoreIdle, "core-idle", MPV_FORMAT_FLAG);
    mpv.observeProperty(handle, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv.observeProperty(handle, kBufferingState, "cache-buffering-state", MPV_FORMAT_INT64);
    mpv.observeProperty(handle, kMetadata, "metadata", MPV_FORMAT_NODE);
    // Live streams have no size; a file served whole does. (Duration is no help: mpv learns
    // a live stream's length once its end is in the cache.)
    mpv.observeProperty(handle, kFileSize, "file-size", MPV_FORMAT_INT64);
    return handle;
}

void feedEvent(StreamStateMachine& machine, const mpv_event& event, std::chrono::milliseconds now) {
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
            machine.fileEnded(end.playlist_entry_id, reason, end.error, now);
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto& property = *static_cast<const mpv_event_property*>(event.data);
            const auto flag = [&] {
                return property.format == MPV_FORMAT_FLAG &&
                       *static_cast<const int*>(property.data) != 0;
            };
            const auto number = [&]() -> std::int64_t {
                return property.format == MPV_FORMAT_INT64
                           ? *static_cast<const std::int64_t*>(property.data)
                           : 0;
            };
            switch (event.reply_userdata) {
                case kCoreIdle:
                    // Unavailable counts as idle.
                    machine.coreIdleChanged(property.format != MPV_FORMAT_FLAG || flag());
                    break;
                case kPausedForCache:
                    machine.pausedForCacheChanged(flag());
                    break;
                case kBufferingState:
                    machine.bufferingChanged(static_cast<int>(number()));
                    break;
                case kFileSize:
                    machine.sizeKnown(number() > 0);
                    break;
                case kMetadata:
                    if (property.format == MPV_FORMAT_NODE)
                        feedMetadata(machine, static_cast<const mpv_node*>(property.data));
                    break;
            }
            break;
        }
        case MPV_EVENT_GET_PROPERTY_REPLY: {
            const auto& property = *static_cast<const mpv_event_property*>(event.data);
            if (event.reply_userdata == kCacheState && event.error >= 0 &&
                property.format == MPV_FORMAT_NODE) {
                feedCacheState(machine, *static_cast<const mpv_node*>(property.data), now);
            }
            break;
        }
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* message = static_cast<const mpv_event_log_message*>(event.data);
            machine.engineLog(message->prefix, message->level, message->text);
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
