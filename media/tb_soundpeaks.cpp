#include "tb_soundpeaks.h"

#include "tb_media.h"

#include <fcntl.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "tb_mp3info.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPrerollTimeout = std::chrono::seconds(5);
constexpr auto kStallTimeout = std::chrono::seconds(10);
constexpr auto kProgressEvery = std::chrono::milliseconds(100);
constexpr GstClockTime kPollInterval = 50 * GST_MSECOND;
// The player trusts no length the file is too small to hold; neither do we.
constexpr double kFewestBytesPerSecond = 1000;
constexpr tb_uint64 kFewestFramesPerPoint = 16;

bool IsRegularFile(const std::string& path, tb_int64& size) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    size = static_cast<tb_int64>(info.st_size);
    return true;
}

// Bins of a fixed number of frames; when they would pass the limit, neighbours merge and bins
// double in length, so any length of stream fits in the same memory.
class PeakAccumulator {
public:
    explicit PeakAccumulator(tb_int maxPoints) : m_maxPoints(std::max<tb_int>(2, maxPoints)) {}

    void Configure(double rate, double estimatedSeconds) {
        m_rate = rate;
        double frames = estimatedSeconds * rate;
        m_framesPerBin = kFewestFramesPerPoint;
        if (std::isfinite(frames) && frames > 0) {
            auto perBin = static_cast<tb_uint64>(std::ceil(frames / m_maxPoints));
            m_framesPerBin = std::max(m_framesPerBin, perBin);
        }
    }
    bool Configured() const { return m_rate > 0; }

    void Add(const int16_t* samples, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            int value = samples[i];
            m_low = std::min(m_low, value);
            m_high = std::max(m_high, value);
            if (++m_fill == m_framesPerBin) {
                Push();
            }
        }
        m_frames += count;
    }

    // The points so far, the bin being filled included.
    void Snapshot(TB_SoundPeaks& peaks, double estimatedSeconds) const {
        peaks.Points = m_points;
        if (m_fill > 0) {
            peaks.Points.push_back(Scale(m_low));
            peaks.Points.push_back(Scale(m_high));
        }
        peaks.SecondsPerPoint = m_rate > 0 ? static_cast<double>(m_framesPerBin) / m_rate : 0;
        peaks.Duration = estimatedSeconds;
        peaks.Complete = false;
    }
    void Finish(TB_SoundPeaks& peaks) const {
        Snapshot(peaks, m_rate > 0 ? static_cast<double>(m_frames) / m_rate : 0);
        peaks.Complete = true;
    }
    tb_uint64 Frames() const { return m_frames; }

private:
    static int8_t Scale(int sample) { return static_cast<int8_t>(std::max(-127, sample / 256)); }
    void Push() {
        if (static_cast<tb_int>(m_points.size() / 2) == m_maxPoints) {
            size_t pairs = m_points.size() / 4;
            for (size_t i = 0; i < pairs; ++i) {
                m_points[2 * i] = std::min(m_points[4 * i], m_points[4 * i + 2]);
                m_points[2 * i + 1] = std::max(m_points[4 * i + 1], m_points[4 * i + 3]);
            }
            m_points.resize(pairs * 2);
            m_framesPerBin *= 2;
            if (m_fill < m_framesPerBin) {
                return;  // the bin goes on filling at its new length
            }
        }
        m_points.push_back(Scale(m_low));
        m_points.push_back(Scale(m_high));
        m_fill = 0;
        m_low = 32767;
        m_high = -32768;
    }

    tb_int m_maxPoints;
    std::vector<int8_t> m_points;
    double m_rate = 0;
    tb_uint64 m_framesPerBin = kFewestFramesPerPoint;
    tb_uint64 m_fill = 0;
    tb_uint64 m_frames = 0;
    int m_low = 32767;
    int m_high = -32768;
};

// filesrc ! decodebin ! audioconvert ! mono 16-bit ! appsink; other streams go to fake sinks.
class DecodeGraph {
public:
    ~DecodeGraph() {
        if (m_pipeline) {
            gst_element_set_state(m_pipeline, GST_STATE_NULL);
            gst_object_unref(m_pipeline);
        }
        if (m_bus) {
            gst_object_unref(m_bus);
        }
    }

    bool Build(const std::string& path) {
        TB_MediaStartup();
        m_pipeline = gst_pipeline_new(nullptr);
        GstElement* source = gst_element_factory_make("filesrc", nullptr);
        GstElement* decoder = gst_element_factory_make("decodebin", nullptr);
        m_convert = gst_element_factory_make("audioconvert", nullptr);
        GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
        m_sink = gst_element_factory_make("appsink", nullptr);
        if (!m_pipeline || !source || !decoder || !m_convert || !filter || !m_sink) {
            for (GstElement* made : {source, decoder, m_convert, filter, m_sink}) {
                if (made) {
                    gst_object_unref(gst_object_ref_sink(made));
                }
            }
            m_convert = m_sink = nullptr;
            return false;
        }
        g_object_set(source, "location", path.c_str(), nullptr);
        GstCaps* caps =
            gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING,
                                G_BYTE_ORDER == G_LITTLE_ENDIAN ? "S16LE" : "S16BE", "channels",
                                G_TYPE_INT, 1, "layout", G_TYPE_STRING, "interleaved", nullptr);
        g_object_set(filter, "caps", caps, nullptr);
        gst_caps_unref(caps);
        // As fast as it decodes, a few buffers ahead of the reader.
        g_object_set(m_sink, "sync", FALSE, "max-buffers", 8u, nullptr);
        gst_bin_add_many(GST_BIN(m_pipeline), source, decoder, m_convert, filter, m_sink, nullptr);
        if (!gst_element_link(source, decoder) ||
            !gst_element_link_many(m_convert, filter, m_sink, nullptr)) {
            return false;
        }
        g_signal_connect(decoder, "pad-added", G_CALLBACK(&DecodeGraph::OnPadAdded), this);
        g_signal_connect(decoder, "no-more-pads", G_CALLBACK(&DecodeGraph::OnNoMorePads), this);
        m_bus = gst_element_get_bus(m_pipeline);
        return true;
    }

    bool Start(GstState state) {
        return gst_element_set_state(m_pipeline, state) != GST_STATE_CHANGE_FAILURE;
    }

    // Reads the bus without waiting: false once the pipeline failed.
    bool Healthy() {
        while (GstMessage* message = gst_bus_pop_filtered(m_bus, kWatched)) {
            Take(message);
        }
        // Every stream was offered and none was sound: nothing will ever arrive.
        if (m_noMorePads.load() && !m_linked.load()) {
            m_failed = true;
        }
        return !m_failed;
    }
    // Waits until the pipeline holds its first buffers; false on failure, timeout or cancel.
    bool WaitPrerolled(const std::atomic<bool>& cancel) {
        Clock::time_point deadline = Clock::now() + kPrerollTimeout;
        while (Healthy() && !m_prerolled) {
            if (cancel.load() || Clock::now() > deadline) {
                return false;
            }
            if (GstMessage* message = gst_bus_timed_pop_filtered(m_bus, kPollInterval, kWatched)) {
                Take(message);
            }
        }
        return !m_failed && m_prerolled;
    }

    // Seconds; 0 when unknown or more than the file can hold.
    double Duration(tb_int64 fileSize) {
        gint64 duration = -1;
        if (!gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &duration) || duration <= 0) {
            return 0;
        }
        double seconds = static_cast<double>(duration) / GST_SECOND;
        if (seconds * kFewestBytesPerSecond >
            static_cast<double>(fileSize) + kFewestBytesPerSecond) {
            return 0;
        }
        return seconds;
    }

    GstAppSink* Sink() const { return GST_APP_SINK(m_sink); }

private:
    static void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
        auto* self = static_cast<DecodeGraph*>(data);
        GstCaps* caps = gst_pad_get_current_caps(pad);
        if (!caps) {
            caps = gst_pad_query_caps(pad, nullptr);
        }
        bool audio =
            caps && gst_caps_get_size(caps) > 0 &&
            g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
        if (caps) {
            gst_caps_unref(caps);
        }
        if (audio && !self->m_linked.load()) {
            GstPad* sinkPad = gst_element_get_static_pad(self->m_convert, "sink");
            if (gst_pad_link(pad, sinkPad) == GST_PAD_LINK_OK) {
                self->m_linked = true;
            }
            gst_object_unref(sinkPad);
            return;
        }
        // A second sound, a picture or subtitles: taken and dropped, so they hold nothing up.
        GstElement* drop = gst_element_factory_make("fakesink", nullptr);
        if (!drop) {
            return;
        }
        g_object_set(drop, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add(GST_BIN(self->m_pipeline), drop);
        gst_element_sync_state_with_parent(drop);
        GstPad* sinkPad = gst_element_get_static_pad(drop, "sink");
        gst_pad_link(pad, sinkPad);
        gst_object_unref(sinkPad);
    }
    static constexpr GstMessageType kWatched =
        static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE);
    void Take(GstMessage* message) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            m_failed = true;
        } else if (GST_MESSAGE_SRC(message) == GST_OBJECT(m_pipeline)) {
            m_prerolled = true;
        }
        gst_message_unref(message);
    }
    static void OnNoMorePads(GstElement*, gpointer data) {
        static_cast<DecodeGraph*>(data)->m_noMorePads = true;
    }

    GstElement* m_pipeline = nullptr;
    GstElement* m_convert = nullptr;
    GstElement* m_sink = nullptr;
    GstBus* m_bus = nullptr;
    std::atomic<bool> m_linked{false};
    std::atomic<bool> m_noMorePads{false};
    bool m_failed = false;
    bool m_prerolled = false;
};

uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// PCM and float WAV: the data chunk's bytes (no more than the file holds) over the block
// size. Chunk headers are read where they lie, so a large chunk before the sound costs
// nothing. -2 when the file is no WAV this can read; -1 when it holds no sound.
double ReadWavLength(const std::string& path, tb_int64 fileSize) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    auto readAt = [fd](tb_int64 offset, unsigned char* into, size_t size) {
        return pread(fd, into, size, offset) == static_cast<ssize_t>(size);
    };
    double result = -2;
    unsigned char header[12];
    uint32_t rate = 0, blockAlign = 0;
    if (readAt(0, header, 12) && std::memcmp(header, "RIFF", 4) == 0 &&
        std::memcmp(header + 8, "WAVE", 4) == 0) {
        tb_int64 offset = 12;
        for (int chunk = 0; chunk < 1000 && offset + 8 <= fileSize; ++chunk) {
            unsigned char head[8];
            if (!readAt(offset, head, 8)) {
                break;
            }
            uint32_t size = Le32(head + 4);
            if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16) {
                unsigned char format[40] = {};
                if (!readAt(offset + 8, format, std::min<size_t>(size, sizeof format))) {
                    break;
                }
                uint16_t tag = Le16(format);
                if (tag == 0xFFFE && size >= 26) {
                    tag = Le16(format + 24);  // the sub-format's first two bytes
                }
                if (tag != 1 && tag != 3) {
                    break;  // compressed: the pipeline knows its length
                }
                rate = Le32(format + 4);
                blockAlign = Le16(format + 12);
            } else if (std::memcmp(head, "data", 4) == 0) {
                if (rate == 0 || blockAlign == 0) {
                    break;
                }
                tb_int64 bytes = std::min<tb_int64>(size, fileSize - (offset + 8));
                tb_int64 frames = bytes / blockAlign;
                result = frames > 0 ? static_cast<double>(frames) / rate : -1;
                break;
            }
            offset += 8 + static_cast<tb_int64>(size) + (size & 1);
        }
    }
    close(fd);
    return result;
}

}  // namespace

TB_PeaksResult TB_DecodePeaks(const std::string& path, const std::atomic<bool>& cancel,
                              const std::function<void(const TB_SoundPeaks&)>& progress,
                              TB_SoundPeaks& peaks, tb_int maxPoints) {
    peaks = TB_SoundPeaks();
    tb_int64 fileSize = 0;
    // A named pipe would block the source in open(), a device would never end.
    if (!IsRegularFile(path, fileSize) || fileSize == 0) {
        return TB_PeaksResult::Undecodable;
    }
    DecodeGraph graph;
    if (!graph.Build(path) || !graph.Start(GST_STATE_PLAYING)) {
        return TB_PeaksResult::Undecodable;
    }
    PeakAccumulator bins(maxPoints);
    double estimate = 0;
    Clock::time_point lastData = Clock::now();
    Clock::time_point lastProgress = lastData;
    while (true) {
        if (cancel.load()) {
            return TB_PeaksResult::Cancelled;
        }
        if (!graph.Healthy()) {
            return TB_PeaksResult::Undecodable;
        }
        GstSample* sample = gst_app_sink_try_pull_sample(graph.Sink(), kPollInterval);
        if (!sample) {
            if (gst_app_sink_is_eos(graph.Sink())) {
                break;
            }
            if (Clock::now() - lastData > kStallTimeout) {
                return TB_PeaksResult::Undecodable;
            }
            continue;
        }
        lastData = Clock::now();
        if (!bins.Configured()) {
            gint rate = 0;
            GstCaps* caps = gst_sample_get_caps(sample);
            if (caps && gst_caps_get_size(caps) > 0) {
                gst_structure_get_int(gst_caps_get_structure(caps, 0), "rate", &rate);
            }
            if (rate <= 0) {
                gst_sample_unref(sample);
                return TB_PeaksResult::Undecodable;
            }
            estimate = graph.Duration(fileSize);
            bins.Configure(rate, estimate);
        }
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            bins.Add(reinterpret_cast<const int16_t*>(map.data), map.size / sizeof(int16_t));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        if (progress && lastData - lastProgress >= kProgressEvery) {
            lastProgress = lastData;
            TB_SoundPeaks partial;
            bins.Snapshot(partial, estimate);
            progress(partial);
        }
    }
    if (bins.Frames() == 0) {
        return TB_PeaksResult::Undecodable;
    }
    bins.Finish(peaks);
    return TB_PeaksResult::Ready;
}

double TB_ReadSoundDuration(const std::string& path) {
    tb_int64 fileSize = 0;
    if (!IsRegularFile(path, fileSize) || fileSize == 0) {
        return -1;
    }
    double seconds = ReadWavLength(path, fileSize);
    if (seconds != -2) {
        return seconds;
    }
    if (TB_ReadMp3Length(path, seconds)) {
        return seconds;
    }
    std::atomic<bool> never{false};
    {
        DecodeGraph graph;
        if (!graph.Build(path) || !graph.Start(GST_STATE_PAUSED) || !graph.WaitPrerolled(never)) {
            return -1;
        }
        seconds = graph.Duration(fileSize);
    }
    if (seconds > 0) {
        return seconds;
    }
    // Many files tell their length only by being played through.
    TB_SoundPeaks peaks;
    if (TB_DecodePeaks(path, never, nullptr, peaks, 2) != TB_PeaksResult::Ready) {
        return -1;
    }
    return peaks.Duration;
}
