// Streams of the built-in engine: building a playbin for a file or URL,
// waiting until it is ready to play (or has failed), and turning GStreamer's
// errors into the library's error codes.
#include <chrono>
#include <cstring>

#include "classes/audio/engine/engine.h"

namespace zarnith::audio {

namespace {

using namespace bassabi;
using Clock = std::chrono::steady_clock;

// playbin's flags are private to its plugin, so they are plain numbers here.
constexpr guint kPlayAudio = 0x2;
constexpr guint kPlaySoftVolume = 0x10;  // never move the system's own volume

constexpr auto kFileWait = std::chrono::seconds(10);
constexpr auto kUrlWait = std::chrono::seconds(7);
constexpr guint kNetworkTimeoutSeconds = 5;

// The caps a missing-plugin message asks a decoder for, as text.
std::string MissingCaps(const GstStructure* s) {
  const GValue* detail = gst_structure_get_value(s, "detail");
  if (!detail || !GST_VALUE_HOLDS_CAPS(detail)) return "unknown";
  const GstCaps* caps = gst_value_get_caps(detail);
  if (gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return "unknown";
  return gst_structure_get_name(gst_caps_get_structure(caps, 0));
}

// Runs on GStreamer's threads: records what the engine needs and drops the
// message. It must never change an element's state.
GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* stream = static_cast<Stream*>(data);
  {
    std::lock_guard<std::mutex> lock(stream->mutex);
    BusReport& bus = stream->bus;
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_ERROR:
        if (!bus.failed) {
          GError* error = nullptr;
          gst_message_parse_error(message, &error, nullptr);
          bus.failed = true;
          bus.errorDomain = error->domain;
          bus.errorCode = error->code;
          bus.errorText = error->message ? error->message : "";
          g_error_free(error);
        }
        break;
      case GST_MESSAGE_EOS: bus.ended = true; break;
      case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(stream->playbin)) bus.asyncDone = true;
        break;
      case GST_MESSAGE_ELEMENT: {
        const GstStructure* s = gst_message_get_structure(message);
        if (s && gst_structure_has_name(s, "missing-plugin") && bus.missingCaps.empty()) {
          bus.missingCaps = MissingCaps(s);
        }
        break;
      }
      default: break;
    }
  }
  stream->changed.notify_all();
  gst_message_unref(message);
  return GST_BUS_DROP;
}

// A network source answers that it cannot seek. URL streams are read from
// the start to the end and never seek (a restart opens them afresh), so the
// only seeks this prevents are those a demuxer makes on its own, such as
// Ogg's look at the end of the file for its length: on a server that ignores
// byte ranges that seek fails the whole stream.
GstPadProbeReturn AnswerNotSeekable(GstPad*, GstPadProbeInfo* info, gpointer) {
  GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
  if (GST_QUERY_TYPE(query) != GST_QUERY_SEEKING) return GST_PAD_PROBE_OK;
  GstFormat format = GST_FORMAT_UNDEFINED;
  gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
  gst_query_set_seeking(query, format, FALSE, 0, -1);
  return GST_PAD_PROBE_HANDLED;
}

// Network sources give up after a few seconds instead of waiting forever,
// and keep only a small queue of data ahead of playback (playbin's default
// for network streams), never a download of the whole file.
void OnSourceSetup(GstElement*, GstElement* source, gpointer) {
  if (g_object_class_find_property(G_OBJECT_GET_CLASS(source), "timeout")) {
    g_object_set(source, "timeout", kNetworkTimeoutSeconds, nullptr);
  }
  GstPad* pad = gst_element_get_static_pad(source, "src");
  if (!pad) return;
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_QUERY_UPSTREAM, AnswerNotSeekable, nullptr, nullptr);
  gst_object_unref(pad);
}

bool HasText(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

int ResourceErrorCode(const BusReport& bus, bool isUrl) {
  switch (bus.errorCode) {
    case GST_RESOURCE_ERROR_NOT_FOUND:
      return isUrl && HasText(bus.errorText, "resolve") ? kErrorNoNet : kErrorFileOpen;
    case GST_RESOURCE_ERROR_BUSY: return kErrorBusy;
    default: return isUrl ? kErrorNoNet : kErrorFileOpen;
  }
}

// The library's code for the first error a stream met while opening.
int ErrorCodeFor(const BusReport& bus, bool isUrl, Clock::duration waited) {
  if (bus.errorDomain == GST_RESOURCE_ERROR) return ResourceErrorCode(bus, isUrl);
  if (bus.errorDomain == GST_CORE_ERROR && bus.errorCode == GST_CORE_ERROR_MISSING_PLUGIN) {
    // No decoder for an audio format is a codec problem; anything else
    // (a web page, say) is not an audio file.
    return bus.missingCaps.rfind("audio/", 0) == 0 ? kErrorCodec : kErrorFileForm;
  }
  if (bus.errorDomain == GST_STREAM_ERROR) {
    if (bus.errorCode == GST_STREAM_ERROR_CODEC_NOT_FOUND) return kErrorCodec;
    // A server that never answers shows only as a generic failure once the
    // network source has given up.
    if (isUrl && bus.errorCode == GST_STREAM_ERROR_FAILED) {
      return waited >= std::chrono::seconds(kNetworkTimeoutSeconds) ? kErrorTimeout : kErrorNoNet;
    }
    // A file whose container was recognised but whose streams could not be
    // linked to the audio output holds no audio track (an Ogg with only
    // video). Depending on thread timing this shows as a data-flow error
    // instead of a preroll with no audio stream; both mean the same.
    if (bus.errorCode == GST_STREAM_ERROR_FAILED) return kErrorNotAudio;
    return kErrorFileForm;
  }
  return kErrorUnknown;
}

// Waits until the stream is ready to play: opened, its type found, a decoder
// linked and the first data at the sink. Returns 0 or the error code.
int WaitUntilReady(Stream& stream, GstStateChangeReturn change) {
  Clock::time_point start = Clock::now();
  std::unique_lock<std::mutex> lock(stream.mutex);
  if (change == GST_STATE_CHANGE_ASYNC) {
    stream.changed.wait_for(lock, stream.isUrl ? kUrlWait : kFileWait,
                            [&] { return stream.bus.asyncDone || stream.bus.failed; });
  }
  if (stream.bus.failed) return ErrorCodeFor(stream.bus, stream.isUrl, Clock::now() - start);
  if (change == GST_STATE_CHANGE_FAILURE) return kErrorFileForm;
  if (change == GST_STATE_CHANGE_ASYNC && !stream.bus.asyncDone) return kErrorTimeout;
  return 0;
}

int AudioTracks(GstElement* playbin) {
  gint tracks = 0;
  g_object_get(playbin, "n-audio", &tracks, nullptr);
  return tracks;
}

}  // namespace

bool RewindStream(Stream& stream) {
  if (stream.isUrl) {
    // A network stream cannot seek; it is opened again from its start.
    return gst_element_set_state(stream.playbin, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
  }
  return gst_element_seek_simple(
      stream.playbin, GST_FORMAT_TIME,
      static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
}

void DestroyStream(Stream& stream) {
  // Stopping joins GStreamer's threads; after that no message can arrive.
  gst_element_set_state(stream.playbin, GST_STATE_NULL);
  GstBus* bus = gst_element_get_bus(stream.playbin);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(stream.playbin);
  stream.playbin = nullptr;
}

DWORD CreateStream(const std::string& uri, bool isUrl) {
  Engine& engine = TheEngine();
  auto stream = std::make_unique<Stream>();
  stream->isUrl = isUrl;
  stream->playbin = gst_element_factory_make("playbin", nullptr);
  if (!stream->playbin) return Fail(kErrorDriver);
  GstElement* sink = MakeSink(engine.current);
  if (!sink) {
    gst_object_unref(gst_object_ref_sink(stream->playbin));
    return Fail(kErrorDriver);
  }
  gst_object_ref_sink(stream->playbin);
  guint flags = kPlayAudio | kPlaySoftVolume;
  g_object_set(stream->playbin, "uri", uri.c_str(), "audio-sink", sink, "flags", flags, nullptr);
  if (isUrl) g_signal_connect(stream->playbin, "source-setup", G_CALLBACK(OnSourceSetup), nullptr);
  GstBus* bus = gst_element_get_bus(stream->playbin);
  gst_bus_set_sync_handler(bus, OnBusMessage, stream.get(), nullptr);
  gst_object_unref(bus);

  int error = WaitUntilReady(*stream, gst_element_set_state(stream->playbin, GST_STATE_PAUSED));
  if (error == 0 && AudioTracks(stream->playbin) == 0) error = kErrorNotAudio;
  if (error != 0) {
    DestroyStream(*stream);
    return Fail(error);
  }
  DWORD handle = engine.nextHandle++;
  if (engine.nextHandle == 0) engine.nextHandle = 0x10001;  // handles are never 0
  engine.streams.emplace(handle, std::move(stream));
  Succeed();
  return handle;
}

}  // namespace zarnith::audio
