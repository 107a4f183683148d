// Starting GStreamer inside an interpreter: the engine reports through error
// codes only, so it writes nothing to standard error, and it leaves no trace
// on disk beyond GStreamer's own plugin cache in a cache folder that exists.
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <glib/gstdio.h>

#include <cstdlib>
#include <string>

#include "classes/audio/engine/engine.h"

namespace zarnith::audio {

namespace {

void DropLogMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

GLogWriterOutput DropLogEntry(GLogLevelFlags, const GLogField*, gsize, gpointer) {
  return G_LOG_WRITER_HANDLED;
}

// GLib and the libraries on top of it (GIO's modules, the HTTP source) print
// their warnings on standard error. The interpreter's output is standard
// output only, and the engine's failures are error codes.
void SilenceLibraryMessages() {
  static bool silenced = false;  // GLib takes a log writer only once
  if (silenced) return;
  silenced = true;
  g_log_set_default_handler(DropLogMessage, nullptr);
  g_log_set_writer_func(DropLogEntry, nullptr, nullptr);
}

// Sets an environment variable that no one has set for as long as the scope
// lasts, so that programs the script starts later do not inherit it. Only
// used before GStreamer runs threads of its own.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (std::getenv(name) != nullptr) return;
    setenv(name, value.c_str(), 1);
    owned_ = true;
  }
  ~ScopedVariable() {
    if (owned_) unsetenv(name_);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  bool owned_ = false;
};

// The desktop settings store is opened when the HTTP source asks for proxy
// settings; with an unwritable home it prints warnings, and it creates
// folders in the cache folder. The engine keeps settings in memory instead;
// GIO chooses its settings store once per process.
void KeepSettingsInMemory() {
  ScopedVariable memory("GSETTINGS_BACKEND", "memory");
  g_object_unref(g_settings_backend_get_default());
}

// GStreamer writes its plugin cache into the user's cache folder and creates
// that folder when it is missing. When it is missing, the cache goes to a
// private temporary folder that is removed once GStreamer has started; the
// plugins are then scanned afresh on each run.
class PluginCache {
 public:
  PluginCache() {
    if (std::getenv("GST_REGISTRY_1_0") || std::getenv("GST_REGISTRY")) return;
    if (g_file_test(g_get_user_cache_dir(), G_FILE_TEST_IS_DIR)) return;
    gchar* folder = g_dir_make_tmp("zarnith-XXXXXX", nullptr);
    if (!folder) {
      usable_ = false;
      return;
    }
    folder_ = folder;
    g_free(folder);
    file_ = folder_ + "/registry.bin";
    setenv("GST_REGISTRY_1_0", file_.c_str(), 1);
  }
  ~PluginCache() {
    if (folder_.empty()) return;
    unsetenv("GST_REGISTRY_1_0");
    RemoveFolder();
  }
  PluginCache(const PluginCache&) = delete;
  PluginCache& operator=(const PluginCache&) = delete;

  // False when no place for the cache could be made: GStreamer would create
  // the missing cache folder.
  bool usable() const { return usable_; }

 private:
  // The cache file and any half-written copy of it, then the folder.
  void RemoveFolder() {
    GDir* dir = g_dir_open(folder_.c_str(), 0, nullptr);
    if (dir) {
      while (const gchar* name = g_dir_read_name(dir)) {
        std::string path = folder_ + "/" + name;
        g_remove(path.c_str());
      }
      g_dir_close(dir);
    }
    g_rmdir(folder_.c_str());
  }

  bool usable_ = true;
  std::string folder_;
  std::string file_;
};

}  // namespace

bool StartGStreamer() {
  Engine& engine = TheEngine();
  if (engine.started) return true;
  SilenceLibraryMessages();
  PluginCache cache;
  if (!cache.usable()) return false;
  KeepSettingsInMemory();
  if (!gst_init_check(nullptr, nullptr, nullptr)) return false;
  GstElementFactory* playbin = gst_element_factory_find("playbin");
  if (!playbin) return false;
  gst_object_unref(playbin);
  engine.started = true;
  return true;
}

}  // namespace zarnith::audio
