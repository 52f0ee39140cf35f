// GStreamer's libraries, and GObject under them, are opened when the media platform starts, not
// when the program does: linked, they would cost every start milliseconds before the first
// window (GObject builds its type system as it is loaded). The functions the media layer calls
// are defined here and forwarded to the libraries opened at the first call.
// Where they cannot be opened each answers as a failing call would (null, 0, false), which the
// callers already handle as a pipeline that could not be made.
#include <dlfcn.h>
#include <gst/app/gstappsink.h>
#include <gst/audio/streamvolume.h>
#include <gst/gst.h>

#include <cstdarg>
#include <iterator>
#include <mutex>
#include <type_traits>

#include "tb_error.h"

namespace {

// Every function opened, the valist forms the variadic ones are made of included.
#define TB_GST_FUNCTIONS(X)               \
    X(gst_app_sink_get_type)              \
    X(gst_app_sink_is_eos)                \
    X(gst_app_sink_try_pull_sample)       \
    X(gst_bin_add)                        \
    X(gst_bin_get_type)                   \
    X(gst_bin_iterate_elements)           \
    X(gst_bin_iterate_recurse)            \
    X(gst_buffer_get_size)                \
    X(gst_buffer_map)                     \
    X(gst_buffer_unmap)                   \
    X(gst_bus_pop_filtered)               \
    X(gst_bus_set_sync_handler)           \
    X(gst_bus_timed_pop_filtered)         \
    X(gst_caps_get_size)                  \
    X(gst_caps_get_structure)             \
    X(gst_deinit)                         \
    X(gst_element_factory_make)           \
    X(gst_element_get_bus)                \
    X(gst_element_get_factory)            \
    X(gst_element_get_state)              \
    X(gst_element_get_static_pad)         \
    X(gst_element_get_type)               \
    X(gst_element_link)                   \
    X(gst_element_post_message)           \
    X(gst_element_query_duration)         \
    X(gst_element_query_position)         \
    X(gst_element_seek_simple)            \
    X(gst_element_set_state)              \
    X(gst_element_sync_state_with_parent) \
    X(gst_filename_to_uri)                \
    X(gst_init)                           \
    X(gst_iterator_free)                  \
    X(gst_iterator_next)                  \
    X(gst_message_new_error)              \
    X(gst_message_parse_error)            \
    X(gst_mini_object_unref)              \
    X(gst_object_get_type)                \
    X(gst_object_ref_sink)                \
    X(gst_object_unref)                   \
    X(gst_pad_get_current_caps)           \
    X(gst_pad_link)                       \
    X(gst_pad_query_caps)                 \
    X(gst_pipeline_new)                   \
    X(gst_plugin_feature_get_type)        \
    X(gst_resource_error_quark)           \
    X(gst_sample_get_buffer)              \
    X(gst_sample_get_caps)                \
    X(gst_stream_volume_get_type)         \
    X(gst_stream_volume_set_volume)       \
    X(gst_structure_get_int)              \
    X(gst_structure_get_name)             \
    X(gst_caps_new_empty_simple)          \
    X(gst_caps_set_simple_valist)         \
    X(g_object_class_find_property)       \
    X(g_object_get_valist)                \
    X(g_object_set_valist)                \
    X(g_signal_connect_data)              \
    X(g_type_check_instance_cast)         \
    X(g_type_check_instance_is_a)         \
    X(g_value_get_object)                 \
    X(g_value_reset)                      \
    X(g_value_unset)

struct Api {
#define TB_GST_POINTER(name) decltype(&::name) name = nullptr;
    TB_GST_FUNCTIONS(TB_GST_POINTER)
#undef TB_GST_POINTER
};

Api g_api;
std::once_flag g_once;

void Load() {
    const char* const libraries[] = {"libgstreamer-1.0.so.0", "libgstapp-1.0.so.0",
                                     "libgstaudio-1.0.so.0", "libgobject-2.0.so.0"};
    void* handles[std::size(libraries)] = {};
    for (size_t i = 0; i < std::size(libraries); ++i) {
        handles[i] = ::dlopen(libraries[i], RTLD_NOW | RTLD_GLOBAL);
        if (!handles[i]) {
            const char* why = ::dlerror();
            TB_DebugPrint(u"GStreamer could not be opened: %s", why ? why : libraries[i]);
            return;
        }
    }
    Api api;
    bool all = true;
#define TB_GST_RESOLVE(name)                                                         \
    for (void* handle : handles) {                                                   \
        if (!api.name) {                                                             \
            api.name = reinterpret_cast<decltype(api.name)>(::dlsym(handle, #name)); \
        }                                                                            \
    }                                                                                \
    if (!api.name) {                                                                 \
        TB_DebugPrint(u"GStreamer lacks %s", #name);                                 \
        all = false;                                                                 \
    }
    TB_GST_FUNCTIONS(TB_GST_RESOLVE)
#undef TB_GST_RESOLVE
    if (all) {
        g_api = api;
    }
}

const Api& Get() {
    std::call_once(g_once, Load);
    return g_api;
}

template <typename R, typename... P, typename... A>
R Call(R (*Api::*function)(P...), A... args) {
    auto opened = Get().*function;
    if constexpr (std::is_void_v<R>) {
        if (opened) {
            opened(args...);
        }
    } else {
        return opened ? opened(args...) : R{};
    }
}

}  // namespace

extern "C" {

GType gst_app_sink_get_type(void) {
    return Call(&Api::gst_app_sink_get_type);
}

gboolean gst_app_sink_is_eos(GstAppSink* appsink) {
    return Call(&Api::gst_app_sink_is_eos, appsink);
}

GstSample* gst_app_sink_try_pull_sample(GstAppSink* appsink, GstClockTime timeout) {
    return Call(&Api::gst_app_sink_try_pull_sample, appsink, timeout);
}

gboolean gst_bin_add(GstBin* bin, GstElement* element) {
    return Call(&Api::gst_bin_add, bin, element);
}

GType gst_bin_get_type(void) {
    return Call(&Api::gst_bin_get_type);
}

GstIterator* gst_bin_iterate_elements(GstBin* bin) {
    return Call(&Api::gst_bin_iterate_elements, bin);
}

GstIterator* gst_bin_iterate_recurse(GstBin* bin) {
    return Call(&Api::gst_bin_iterate_recurse, bin);
}

gsize gst_buffer_get_size(GstBuffer* buffer) {
    return Call(&Api::gst_buffer_get_size, buffer);
}

gboolean gst_buffer_map(GstBuffer* buffer, GstMapInfo* info, GstMapFlags flags) {
    return Call(&Api::gst_buffer_map, buffer, info, flags);
}

void gst_buffer_unmap(GstBuffer* buffer, GstMapInfo* info) {
    return Call(&Api::gst_buffer_unmap, buffer, info);
}

GstMessage* gst_bus_pop_filtered(GstBus* bus, GstMessageType types) {
    return Call(&Api::gst_bus_pop_filtered, bus, types);
}

void gst_bus_set_sync_handler(GstBus* bus, GstBusSyncHandler func, gpointer user_data,
                              GDestroyNotify notify) {
    return Call(&Api::gst_bus_set_sync_handler, bus, func, user_data, notify);
}

GstMessage* gst_bus_timed_pop_filtered(GstBus* bus, GstClockTime timeout, GstMessageType types) {
    return Call(&Api::gst_bus_timed_pop_filtered, bus, timeout, types);
}

guint gst_caps_get_size(const GstCaps* caps) {
    return Call(&Api::gst_caps_get_size, caps);
}

GstStructure* gst_caps_get_structure(const GstCaps* caps, guint index) {
    return Call(&Api::gst_caps_get_structure, caps, index);
}

void gst_deinit(void) {
    return Call(&Api::gst_deinit);
}

GstElement* gst_element_factory_make(const gchar* factoryname, const gchar* name) {
    return Call(&Api::gst_element_factory_make, factoryname, name);
}

GstBus* gst_element_get_bus(GstElement* element) {
    return Call(&Api::gst_element_get_bus, element);
}

GstElementFactory* gst_element_get_factory(GstElement* element) {
    return Call(&Api::gst_element_get_factory, element);
}

GstStateChangeReturn gst_element_get_state(GstElement* element, GstState* state, GstState* pending,
                                           GstClockTime timeout) {
    return Call(&Api::gst_element_get_state, element, state, pending, timeout);
}

GstPad* gst_element_get_static_pad(GstElement* element, const gchar* name) {
    return Call(&Api::gst_element_get_static_pad, element, name);
}

GType gst_element_get_type(void) {
    return Call(&Api::gst_element_get_type);
}

gboolean gst_element_link(GstElement* src, GstElement* dest) {
    return Call(&Api::gst_element_link, src, dest);
}

gboolean gst_element_post_message(GstElement* element, GstMessage* message) {
    return Call(&Api::gst_element_post_message, element, message);
}

gboolean gst_element_query_duration(GstElement* element, GstFormat format, gint64* duration) {
    return Call(&Api::gst_element_query_duration, element, format, duration);
}

gboolean gst_element_query_position(GstElement* element, GstFormat format, gint64* cur) {
    return Call(&Api::gst_element_query_position, element, format, cur);
}

gboolean gst_element_seek_simple(GstElement* element, GstFormat format, GstSeekFlags seek_flags,
                                 gint64 seek_pos) {
    return Call(&Api::gst_element_seek_simple, element, format, seek_flags, seek_pos);
}

GstStateChangeReturn gst_element_set_state(GstElement* element, GstState state) {
    return Call(&Api::gst_element_set_state, element, state);
}

gboolean gst_element_sync_state_with_parent(GstElement* element) {
    return Call(&Api::gst_element_sync_state_with_parent, element);
}

gchar* gst_filename_to_uri(const gchar* filename, GError** error) {
    return Call(&Api::gst_filename_to_uri, filename, error);
}

void gst_init(int* argc, char** argv[]) {
    return Call(&Api::gst_init, argc, argv);
}

void gst_iterator_free(GstIterator* it) {
    return Call(&Api::gst_iterator_free, it);
}

GstIteratorResult gst_iterator_next(GstIterator* it, GValue* elem) {
    return Call(&Api::gst_iterator_next, it, elem);
}

GstMessage* gst_message_new_error(GstObject* src, GError* error, const gchar* debug) {
    return Call(&Api::gst_message_new_error, src, error, debug);
}

void gst_message_parse_error(GstMessage* message, GError** gerror, gchar** debug) {
    return Call(&Api::gst_message_parse_error, message, gerror, debug);
}

void gst_mini_object_unref(GstMiniObject* mini_object) {
    return Call(&Api::gst_mini_object_unref, mini_object);
}

GType gst_object_get_type(void) {
    return Call(&Api::gst_object_get_type);
}

gpointer gst_object_ref_sink(gpointer object) {
    return Call(&Api::gst_object_ref_sink, object);
}

void gst_object_unref(gpointer object) {
    return Call(&Api::gst_object_unref, object);
}

GstCaps* gst_pad_get_current_caps(GstPad* pad) {
    return Call(&Api::gst_pad_get_current_caps, pad);
}

GstPadLinkReturn gst_pad_link(GstPad* srcpad, GstPad* sinkpad) {
    return Call(&Api::gst_pad_link, srcpad, sinkpad);
}

GstCaps* gst_pad_query_caps(GstPad* pad, GstCaps* filter) {
    return Call(&Api::gst_pad_query_caps, pad, filter);
}

GstElement* gst_pipeline_new(const gchar* name) {
    return Call(&Api::gst_pipeline_new, name);
}

GType gst_plugin_feature_get_type(void) {
    return Call(&Api::gst_plugin_feature_get_type);
}

GQuark gst_resource_error_quark(void) {
    return Call(&Api::gst_resource_error_quark);
}

GstBuffer* gst_sample_get_buffer(GstSample* sample) {
    return Call(&Api::gst_sample_get_buffer, sample);
}

GstCaps* gst_sample_get_caps(GstSample* sample) {
    return Call(&Api::gst_sample_get_caps, sample);
}

GType gst_stream_volume_get_type(void) {
    return Call(&Api::gst_stream_volume_get_type);
}

void gst_stream_volume_set_volume(GstStreamVolume* volume, GstStreamVolumeFormat format,
                                  gdouble val) {
    return Call(&Api::gst_stream_volume_set_volume, volume, format, val);
}

gboolean gst_structure_get_int(const GstStructure* structure, const gchar* fieldname, gint* value) {
    return Call(&Api::gst_structure_get_int, structure, fieldname, value);
}

const gchar* gst_structure_get_name(const GstStructure* structure) {
    return Call(&Api::gst_structure_get_name, structure);
}

void gst_bin_add_many(GstBin* bin, GstElement* element_1, ...) {
    va_list more;
    va_start(more, element_1);
    for (GstElement* element = element_1; element; element = va_arg(more, GstElement*)) {
        gst_bin_add(bin, element);
    }
    va_end(more);
}

gboolean gst_element_link_many(GstElement* element_1, GstElement* element_2, ...) {
    gboolean linked = TRUE;
    va_list more;
    va_start(more, element_2);
    for (GstElement *source = element_1, *sink = element_2; sink;
         source = sink, sink = va_arg(more, GstElement*)) {
        if (!gst_element_link(source, sink)) {
            linked = FALSE;
            break;
        }
    }
    va_end(more);
    return linked;
}

GstCaps* gst_caps_new_simple(const char* media_type, const char* fieldname, ...) {
    GstCaps* caps = Call(&Api::gst_caps_new_empty_simple, media_type);
    if (caps && fieldname) {
        va_list fields;
        va_start(fields, fieldname);
        Call(&Api::gst_caps_set_simple_valist, caps, fieldname, fields);
        va_end(fields);
    }
    return caps;
}

GParamSpec* g_object_class_find_property(GObjectClass* oclass, const gchar* property_name) {
    return Call(&Api::g_object_class_find_property, oclass, property_name);
}

void g_object_get(gpointer object, const gchar* first_property_name, ...) {
    va_list values;
    va_start(values, first_property_name);
    Call(&Api::g_object_get_valist, static_cast<GObject*>(object), first_property_name, values);
    va_end(values);
}

void g_object_set(gpointer object, const gchar* first_property_name, ...) {
    va_list values;
    va_start(values, first_property_name);
    Call(&Api::g_object_set_valist, static_cast<GObject*>(object), first_property_name, values);
    va_end(values);
}

gulong g_signal_connect_data(gpointer instance, const gchar* detailed_signal, GCallback c_handler,
                             gpointer data, GClosureNotify destroy_data,
                             GConnectFlags connect_flags) {
    return Call(&Api::g_signal_connect_data, instance, detailed_signal, c_handler, data,
                destroy_data, connect_flags);
}

GTypeInstance* g_type_check_instance_cast(GTypeInstance* instance, GType iface_type) {
    return Call(&Api::g_type_check_instance_cast, instance, iface_type);
}

gboolean g_type_check_instance_is_a(GTypeInstance* instance, GType iface_type) {
    return Call(&Api::g_type_check_instance_is_a, instance, iface_type);
}

gpointer g_value_get_object(const GValue* value) {
    return Call(&Api::g_value_get_object, value);
}

GValue* g_value_reset(GValue* value) {
    return Call(&Api::g_value_reset, value);
}

void g_value_unset(GValue* value) {
    return Call(&Api::g_value_unset, value);
}

}  // extern "C"
