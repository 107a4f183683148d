// Output devices of the built-in engine: the library's numbering (0 "No
// sound", 1 "Default", 2 and up the system's outputs as GStreamer's device
// monitor lists them), opening a device and making a sink for new streams.
#include <cstring>
#include <vector>

#include "classes/audio/engine/engine.h"

namespace zarnith::audio {

namespace {

using namespace bassabi;

constexpr int kNoSound = 0;
constexpr int kDefault = 1;
constexpr int kFirstSystemOutput = 2;

// A text that stays valid for the life of the process.
const char* Keep(std::string text) {
  return TheEngine().texts.insert(std::move(text)).first->c_str();
}

// The system's outputs, in the monitor's order; each entry holds a reference.
std::vector<GstDevice*> ListOutputs() {
  std::vector<GstDevice*> outputs;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Audio/Sink", nullptr);
  GList* devices = gst_device_monitor_get_devices(monitor);
  for (GList* item = devices; item; item = item->next) {
    outputs.push_back(GST_DEVICE(item->data));
  }
  g_list_free(devices);  // the references now belong to `outputs`
  gst_object_unref(monitor);
  return outputs;
}

void Release(std::vector<GstDevice*>& outputs) {
  for (GstDevice* d : outputs) gst_object_unref(d);
  outputs.clear();
}

// The sink or ALSA name a device is known by to the system.
std::string DriverName(GstDevice* device) {
  if (!g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name")) return {};
  gchar* name = nullptr;
  g_object_get(device, "internal-name", &name, nullptr);
  std::string text = name ? name : "";
  g_free(name);
  return text;
}

// autoaudiosink never fails: with no output it quietly wraps a fakesink. So
// an output exists only when its chosen child is something else.
bool DefaultOutputExists() {
  GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
  if (!sink) return false;
  bool exists = false;
  if (gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
    GstIterator* children = gst_bin_iterate_elements(GST_BIN(sink));
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
      GstElement* child = GST_ELEMENT(g_value_get_object(&item));
      GstElementFactory* factory = gst_element_get_factory(child);
      exists = factory && std::strcmp(GST_OBJECT_NAME(factory), "fakesink") != 0;
      g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
  }
  gst_element_set_state(sink, GST_STATE_NULL);
  gst_object_unref(sink);
  return exists;
}

// Opens a system output briefly to see that it can be used.
bool OutputOpens(GstDevice* device) {
  GstElement* sink = gst_device_create_element(device, nullptr);
  if (!sink) return false;
  bool opens = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
  gst_element_set_state(sink, GST_STATE_NULL);
  gst_object_unref(sink);
  return opens;
}

int OpenSystemOutput(int device) {
  std::vector<GstDevice*> outputs = ListOutputs();
  std::size_t index = static_cast<std::size_t>(device - kFirstSystemOutput);
  if (index >= outputs.size()) {
    Release(outputs);
    return Fail(kErrorDevice);
  }
  GstDevice* chosen = GST_DEVICE(gst_object_ref(outputs[index]));
  Release(outputs);
  if (!OutputOpens(chosen)) {
    gst_object_unref(chosen);
    return Fail(kErrorDriver);
  }
  TheEngine().outputs[device] = chosen;
  return 1;
}

}  // namespace

int InitDevice(int device) {
  if (!StartGStreamer()) return Fail(kErrorDriver);
  if (device == -1) device = kDefault;
  if (device < 0) return Fail(kErrorDevice);
  Engine& engine = TheEngine();
  if (engine.initialised.count(device)) return Fail(kErrorAlready);
  if (device == kDefault && !DefaultOutputExists()) return Fail(kErrorDevice);
  if (device >= kFirstSystemOutput && !OpenSystemOutput(device)) return 0;
  engine.initialised.insert(device);
  engine.current = device;
  return Succeed();
}

bool DeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  if (!info) return Fail(kErrorIllParam);
  Engine& engine = TheEngine();
  DWORD flags = kDeviceEnabled;
  if (device == kNoSound || device == kDefault) {
    info->name = device == kNoSound ? "No sound" : "Default";
    info->driver = "";
    if (device == kDefault) flags |= kDeviceDefault;
  } else {
    if (!StartGStreamer()) return Fail(kErrorDevice);
    std::vector<GstDevice*> outputs = ListOutputs();
    std::size_t index = device - kFirstSystemOutput;
    if (index >= outputs.size()) {
      Release(outputs);
      return Fail(kErrorDevice);
    }
    gchar* name = gst_device_get_display_name(outputs[index]);
    info->name = Keep(name ? name : "");
    g_free(name);
    info->driver = Keep(DriverName(outputs[index]));
    Release(outputs);
  }
  if (engine.initialised.count(static_cast<int>(device))) flags |= kDeviceInit;
  info->flags = flags;
  return Succeed();
}

GstElement* MakeSink(int device) {
  if (device == kNoSound) {
    // Consumes the data in real time, so positions, pauses and the end of a
    // stream behave as on a real output, without touching the sound system.
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink) g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
  }
  if (device == kDefault) return gst_element_factory_make("autoaudiosink", nullptr);
  auto found = TheEngine().outputs.find(device);
  if (found == TheEngine().outputs.end()) return nullptr;
  return gst_device_create_element(found->second, nullptr);
}

}  // namespace zarnith::audio
