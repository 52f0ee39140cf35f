#include "tb_audioplayer.h"

#include <gst/audio/streamvolume.h>
#include <gst/gst.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "tb_error.h"
#include "tb_media.h"
#include "tb_mp3info.h"

namespace {

constexpr auto kOpenTimeout = std::chrono::seconds(10);
constexpr GstClockTime kCloseTimeout = 5000 * GST_MSECOND;

std::mutex g_outputLock;
TB_AudioOutput g_output = TB_AudioOutput::Auto;
int g_deviceUsable = -1;  // -1 not probed yet, 0 no device, 1 a device answered
bool g_missingNoticeTaken = false;

GstElement* MakeSilentSink() {
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink) {
        // sync keeps the clock: positions advance and the end comes in real time.
        g_object_set(sink, "sync", TRUE, nullptr);
    }
    return sink;
}

// True when autoaudiosink found a real output (it falls back to a fake sink by itself).
bool ProbeDevice() {
    GstElement* probe = gst_element_factory_make("autoaudiosink", nullptr);
    if (!probe) {
        return false;
    }
    bool usable = gst_element_set_state(probe, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    if (usable && GST_IS_BIN(probe)) {
        GstIterator* children = gst_bin_iterate_elements(GST_BIN(probe));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
            GstElement* child = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* factory = gst_element_get_factory(child);
            if (factory &&
                g_str_equal(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fakesink")) {
                usable = false;
            }
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(children);
    }
    gst_element_set_state(probe, GST_STATE_NULL);
    gst_object_unref(probe);
    return usable;
}

GstElement* MakeAudioSink() {
    std::lock_guard<std::mutex> guard(g_outputLock);
    if (g_output == TB_AudioOutput::Silent) {
        return MakeSilentSink();
    }
    if (g_deviceUsable < 0) {
        g_deviceUsable = ProbeDevice() ? 1 : 0;
        if (!g_deviceUsable) {
            TB_Error::Report(2, 8, u"No audio output could be opened; clips play silently",
                             TB_SOURCE_NAME, __LINE__);
        }
    }
    return g_deviceUsable ? gst_element_factory_make("autoaudiosink", nullptr) : MakeSilentSink();
}

// Whether a sink of the pipeline holds a prerolled buffer: the stream has some sound.
bool HasPrerolledSound(GstElement* pipeline) {
    bool found = false;
    // Every element, in nested bins too: the sinks sit inside playbin's own bins.
    GstIterator* sinks = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(sinks, &item) == GST_ITERATOR_OK) {
        GstElement* sink = GST_ELEMENT(g_value_get_object(&item));
        if (GST_OBJECT_FLAG_IS_SET(sink, GST_ELEMENT_FLAG_SINK) && !GST_IS_BIN(sink) &&
            g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "last-sample")) {
            GstSample* sample = nullptr;
            g_object_get(sink, "last-sample", &sample, nullptr);
            if (sample) {
                GstBuffer* buffer = gst_sample_get_buffer(sample);
                found = buffer && gst_buffer_get_size(buffer) > 0;
                gst_sample_unref(sample);
            }
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(sinks);
    return found;
}

}  // namespace

void TB_SetAudioOutput(TB_AudioOutput output) {
    std::lock_guard<std::mutex> guard(g_outputLock);
    g_output = output;
}

bool TB_TakeAudioOutputMissingNotice() {
    std::lock_guard<std::mutex> guard(g_outputLock);
    if (g_output != TB_AudioOutput::Auto || g_deviceUsable != 0 || g_missingNoticeTaken) {
        return false;
    }
    g_missingNoticeTaken = true;
    return true;
}

// Bus messages arrive here on the pipeline's own threads.
struct TB_MfPlayerBus {
    static GstBusSyncReply OnSync(GstBus*, GstMessage* message, gpointer data) {
        static_cast<TB_MfPlayer*>(data)->OnMessage(message);
        // A dropped message is the handler's to free.
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
    static void Unref(gpointer data) { static_cast<TB_MfPlayer*>(data)->Release(); }
};

// The media platform is waited for only when a clip is opened: a window may make its player
// while the platform still starts.
TB_MfPlayer::TB_MfPlayer() = default;

TB_MfPlayer::~TB_MfPlayer() {
    Close();
}

void TB_MfPlayer::OnMessage(void* raw) {
    auto* message = static_cast<GstMessage*>(raw);
    auto* pipeline = static_cast<GstElement*>(m_pipeline);
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ASYNC_DONE:
            if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline)) {
                std::lock_guard<std::mutex> guard(m_openLock);
                if (m_openResult == 1) {
                    m_openResult = 0;
                    m_openSignal.notify_all();
                }
            }
            break;
        case GST_MESSAGE_ERROR: {
            {
                std::lock_guard<std::mutex> guard(m_openLock);
                if (m_openResult == 1) {
                    m_openResult = TB_AUDIO_E_DECODE;
                    m_openSignal.notify_all();
                    break;
                }
            }
            OnPlaybackError(message);
            break;
        }
        case GST_MESSAGE_EOS:
            if (m_state.load() != TB_PlayerState::Closing) {
                OnPresentationEnded();
            }
            break;
        default:
            break;
    }
}

// An error after the clip was opened (its file gone, the device unplugged) ends the clip:
// a pipeline in error plays no further, and the listener must see the end to restore its
// play button. The pipeline thread cannot change the pipeline's state itself.
void TB_MfPlayer::OnPlaybackError(void* raw) {
    auto* message = static_cast<GstMessage*>(raw);
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    TB_String text;
    text.Format(u"Playback failed: %s", error && error->message ? error->message : "unknown error");
    TB_Error::Report(2, 10, text.Chars(), TB_SOURCE_NAME, __LINE__);
    if (error) {
        g_error_free(error);
    }
    g_free(debug);
    m_failed = true;
    OnPresentationEnded();
}

bool TB_MfPlayer::PostErrorForTest(const char* text) {
    auto* pipeline = static_cast<GstElement*>(m_pipeline);
    if (!pipeline) {
        return false;
    }
    GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, text);
    bool posted = gst_element_post_message(
        pipeline, gst_message_new_error(GST_OBJECT(pipeline), error, text));
    g_error_free(error);
    return posted;
}

void TB_MfPlayer::OnPresentationEnded() {
    TB_PlayerState expected = TB_PlayerState::Playing;
    // Only a clip that was playing ends; the state change and the event happen once.
    if (m_state.compare_exchange_strong(expected, TB_PlayerState::Stopped)) {
        TB_EventArg arg;
        Ended.Fire(arg);
    }
}

tb_int TB_MfPlayer::Open(const TB_String& path) {
    Close();
    TB_MediaStartup();
    std::string native = path.ToStdString();
    // The source would block in open() on a named pipe, and read a device without end.
    struct stat info;
    if (stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return TB_AUDIO_E_DECODE;
    }
    m_state = TB_PlayerState::SessionReady;
    GstElement* pipeline = gst_element_factory_make("playbin", nullptr);
    if (!pipeline) {
        m_state = TB_PlayerState::Closed;
        return TB_AUDIO_E_FAIL;
    }
    gchar* uri = gst_filename_to_uri(native.c_str(), nullptr);
    g_object_set(pipeline, "uri", uri ? uri : "", nullptr);
    g_free(uri);
    g_object_set(pipeline, "audio-sink", MakeAudioSink(), nullptr);
    gst_stream_volume_set_volume(GST_STREAM_VOLUME(pipeline), GST_STREAM_VOLUME_FORMAT_CUBIC,
                                 m_volume.load());
    // Audio only: a video stream is decoded into nothing rather than into a window.
    g_object_set(pipeline, "video-sink", gst_element_factory_make("fakesink", nullptr), nullptr);
    GstBus* bus = gst_element_get_bus(pipeline);
    AddRef();
    gst_bus_set_sync_handler(bus, TB_MfPlayerBus::OnSync, this, TB_MfPlayerBus::Unref);
    gst_object_unref(bus);
    m_pipeline = pipeline;
    {
        std::lock_guard<std::mutex> guard(m_openLock);
        m_openResult = 1;
    }
    tb_int result = 0;
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        result = TB_AUDIO_E_DECODE;
    } else {
        std::unique_lock<std::mutex> lock(m_openLock);
        if (!m_openSignal.wait_for(lock, kOpenTimeout, [this] { return m_openResult != 1; })) {
            m_openResult = TB_AUDIO_E_TIMEOUT;
        }
        result = m_openResult;
    }
    if (result == 0) {
        gint audio = 0, video = 0, text = 0;
        g_object_get(pipeline, "n-audio", &audio, "n-video", &video, "n-text", &text, nullptr);
        if (text > 0 || audio + video == 0) {
            result = TB_AUDIO_E_UNSUPPORTED;
        }
    }
    if (result != 0) {
        Close();
        return result;
    }
    // Many playable files (odd tags, rare frames) tell their length only once they play: the
    // clip opens with its length unknown (0), and GetDuration asks again later. One that
    // brought no sound at all to its sink (a header and nothing after it) has nothing to play.
    m_fileSize = static_cast<tb_int64>(info.st_size);
    m_duration = QueryDuration();
    if (m_duration == 0 && !HasPrerolledSound(pipeline)) {
        Close();
        return TB_AUDIO_E_DECODE;
    }
    // The pipeline counts an MP3's encoder delay and padding as part of the clip; the
    // encoder's own record gives the length the listener hears.
    double mp3Seconds = 0;
    if (TB_ReadMp3Length(native, mp3Seconds)) {
        m_duration = static_cast<tb_uint64>(mp3Seconds * 10000000.0 + 0.5);
    }
    m_state = TB_PlayerState::Opened;
    return 0;
}

void TB_MfPlayer::Play() {
    TB_PlayerState state = m_state.load();
    if (!m_pipeline || (state != TB_PlayerState::Opened && state != TB_PlayerState::Paused &&
                        state != TB_PlayerState::Stopped)) {
        return;
    }
    if (m_failed) {
        // A pipeline that reported an error is stuck in it; play the clip from a new one.
        m_failed = false;
        auto* pipeline = static_cast<GstElement*>(m_pipeline);
        gst_element_set_state(pipeline, GST_STATE_READY);
        if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
            gst_element_get_state(pipeline, nullptr, nullptr, kCloseTimeout) ==
                GST_STATE_CHANGE_FAILURE) {
            m_failed = true;
            return;
        }
    }
    // Set before the pipeline runs, so an end that comes at once finds the clip playing.
    m_state = TB_PlayerState::Playing;
    if (gst_element_set_state(static_cast<GstElement*>(m_pipeline), GST_STATE_PLAYING) ==
        GST_STATE_CHANGE_FAILURE) {
        m_state = state;
    }
}

void TB_MfPlayer::Stop() {
    TB_PlayerState state = m_state.load();
    if (!m_pipeline || (state != TB_PlayerState::Playing && state != TB_PlayerState::Paused)) {
        return;
    }
    auto* pipeline = static_cast<GstElement*>(m_pipeline);
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE) {
        m_state = TB_PlayerState::Stopped;
    }
}

void TB_MfPlayer::SetVolume(double level) {
    level = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 1.0;
    m_volume = level;
    if (m_pipeline) {
        gst_stream_volume_set_volume(GST_STREAM_VOLUME(m_pipeline), GST_STREAM_VOLUME_FORMAT_CUBIC,
                                     level);
    }
}

tb_uint64 TB_MfPlayer::QueryDuration() {
    gint64 duration = -1;
    if (!m_pipeline ||
        !gst_element_query_duration(static_cast<GstElement*>(m_pipeline), GST_FORMAT_TIME,
                                    &duration) ||
        duration <= 0) {
        return 0;
    }
    // A length the file is too small to hold is no length (a header-only AIFF claims hours, a
    // cut M4A minutes): no sound we play takes fewer bytes than this per second.
    constexpr double kFewestBytesPerSecond = 1000;
    double seconds = static_cast<double>(duration) / GST_SECOND;
    if (seconds * kFewestBytesPerSecond > static_cast<double>(m_fileSize) + kFewestBytesPerSecond) {
        return 0;
    }
    return static_cast<tb_uint64>(duration) / 100;
}

double TB_MfPlayer::GetDuration() {
    TB_PlayerState state = m_state.load();
    if (m_duration == 0 && (state == TB_PlayerState::Playing || state == TB_PlayerState::Paused ||
                            state == TB_PlayerState::Stopped)) {
        m_duration = QueryDuration();
    }
    return static_cast<double>(m_duration) / 10000000.0;
}

void TB_MfPlayer::SetPosition(double seconds) {
    if (!m_pipeline) {
        return;
    }
    double units = seconds * 10000000.0;
    tb_uint64 position = units <= 0 ? 0 : static_cast<tb_uint64>(units);
    if (m_duration > 0 && position > m_duration) {  // an unknown length clamps nothing
        position = m_duration;
    }
    auto* pipeline = static_cast<GstElement*>(m_pipeline);
    TB_PlayerState state = m_state.load();
    if (state == TB_PlayerState::Opened || state == TB_PlayerState::Paused ||
        state == TB_PlayerState::Stopped) {
        // A clip that is not playing stays paused at the new place.
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
    }
    gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            static_cast<gint64>(position * 100));
    // Wait for the seek to settle so that positions read afterwards are the new ones.
    gst_element_get_state(pipeline, nullptr, nullptr, kCloseTimeout);
}

double TB_MfPlayer::GetPosition() {
    if (!m_pipeline) {
        return 0;
    }
    gint64 position = 0;
    if (!gst_element_query_position(static_cast<GstElement*>(m_pipeline), GST_FORMAT_TIME,
                                    &position)) {
        return 0;
    }
    return static_cast<double>(position) / GST_SECOND;
}

tb_int TB_MfPlayer::Close() {
    if (!m_pipeline) {
        m_state = TB_PlayerState::Closed;
        return 0;
    }
    m_state = TB_PlayerState::Closing;
    auto* pipeline = static_cast<GstElement*>(m_pipeline);
    tb_int result = 0;
    if (gst_element_set_state(pipeline, GST_STATE_NULL) == GST_STATE_CHANGE_ASYNC &&
        gst_element_get_state(pipeline, nullptr, nullptr, kCloseTimeout) !=
            GST_STATE_CHANGE_SUCCESS) {
        result = TB_AUDIO_E_TIMEOUT;  // shut down anyway
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    m_pipeline = nullptr;
    m_duration = 0;
    m_failed = false;
    m_state = TB_PlayerState::Closed;
    return result;
}

TB_AudioPlayer::TB_AudioPlayer() : m_player(new TB_MfPlayer()) {
    m_player->Ended.Add([this](TB_EventArg&) { OnEnded(); });
}

TB_AudioPlayer::~TB_AudioPlayer() {
    m_player->Close();
    m_player->Release();
}

tb_int TB_AudioPlayer::Open(const TB_String& path) {
    return m_player->Open(path);
}
void TB_AudioPlayer::Play() {
    m_player->Play();
}
void TB_AudioPlayer::Stop() {
    m_player->Stop();
}
void TB_AudioPlayer::SetPosition(double seconds) {
    m_player->SetPosition(seconds);
}
double TB_AudioPlayer::GetPosition() {
    return m_player->GetPosition();
}
double TB_AudioPlayer::GetDuration() {
    return m_player->GetDuration();
}
tb_int TB_AudioPlayer::Close() {
    return m_player->Close();
}
