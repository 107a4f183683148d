// Writes the tests' audio files: make_audio FILE FORMAT MILLISECONDS, where
// FORMAT is wav (a 440 Hz tone behind a hand-written header), ogg, flac or
// mp3 (the same tone through GStreamer's encoders), or video (an Ogg file
// with a video track and no audio).
#include <gst/gst.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

namespace {

constexpr std::uint32_t kRate = 44100;

void PutLe(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

bool WriteWav(const char* path, long ms) {
  std::uint32_t samples = static_cast<std::uint32_t>(kRate * ms / 1000);
  std::uint32_t dataSize = samples * 2;
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  PutLe(out, 36 + dataSize, 4);
  out.write("WAVEfmt ", 8);
  PutLe(out, 16, 4);         // format chunk size
  PutLe(out, 1, 2);          // PCM
  PutLe(out, 1, 2);          // mono
  PutLe(out, kRate, 4);      // sample rate
  PutLe(out, kRate * 2, 4);  // byte rate
  PutLe(out, 2, 2);          // block align
  PutLe(out, 16, 2);         // bits per sample
  out.write("data", 4);
  PutLe(out, dataSize, 4);
  for (std::uint32_t i = 0; i < samples; ++i) {
    double v = std::sin(2 * M_PI * 440.0 * i / kRate) * 8000;
    PutLe(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)), 2);
  }
  return static_cast<bool>(out);
}

bool Encode(const char* path, const std::string& format, long ms) {
  static const std::map<std::string, std::string> kEncoders{
      {"ogg", "audioconvert ! vorbisenc ! oggmux"},
      {"flac", "audioconvert ! flacenc"},
      {"mp3", "audioconvert ! lamemp3enc"},
  };
  std::string pipeline;
  long buffers = ms * static_cast<long>(kRate) / 1000 / 1024 + 1;
  if (format == "video") {
    pipeline = "videotestsrc num-buffers=" + std::to_string(ms * 25 / 1000 + 1) +
               " ! video/x-raw,width=64,height=48 ! theoraenc ! oggmux";
  } else {
    auto found = kEncoders.find(format);
    if (found == kEncoders.end()) return false;
    pipeline = "audiotestsrc num-buffers=" + std::to_string(buffers) + " samplesperbuffer=1024 ! " +
               found->second;
  }
  pipeline += " ! filesink location=\"" + std::string(path) + "\"";
  GError* error = nullptr;
  GstElement* bin = gst_parse_launch(pipeline.c_str(), &error);
  if (!bin) {
    std::fprintf(stderr, "make_audio: %s\n", error ? error->message : "no pipeline");
    return false;
  }
  gst_element_set_state(bin, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(bin);
  GstMessage* done = gst_bus_timed_pop_filtered(
      bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool ok = done && GST_MESSAGE_TYPE(done) == GST_MESSAGE_EOS;
  if (done) gst_message_unref(done);
  gst_object_unref(bus);
  gst_element_set_state(bin, GST_STATE_NULL);
  gst_object_unref(bin);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_audio FILE wav|ogg|flac|mp3|video MILLISECONDS\n");
    return 2;
  }
  long ms = std::strtol(argv[3], nullptr, 10);
  if (std::strcmp(argv[2], "wav") == 0) return WriteWav(argv[1], ms) ? 0 : 1;
  gst_init(&argc, &argv);
  return Encode(argv[1], argv[2], ms) ? 0 : 1;
}
