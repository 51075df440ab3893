#include "platform/sound/sdl/sdl_device.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>

namespace inst::sound {
namespace {

std::atomic<bool> deviceAlive{false};

constexpr int kBufferFrames = 1024;

// ALSA writes its own diagnostics to standard error when SDL probes it on a machine without a
// sound card; the program then plays through the dummy output and has nothing to tell. SDL
// loads ALSA by its soname, so the library loaded here is the one SDL gets, already quiet.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void QuietAlsa() {
  static const bool done = [] {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa == nullptr) return true;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
      set(IgnoreAlsaError);
    return true;
  }();
  (void)done;
}

// Whether anything could play here: a sound server, an ALSA card, or a driver the user named.
// Without one, probing SDL's drivers costs as long again as the dummy output itself.
bool MayHaveOutput() {
  if (SDL_getenv("SDL_AUDIODRIVER") != nullptr || SDL_getenv("PULSE_SERVER") != nullptr)
    return true;
  if (const char* runtime = SDL_getenv("XDG_RUNTIME_DIR")) {
    for (const char* socket : {"/pulse/native", "/pipewire-0"}) {
      std::string path = std::string(runtime) + socket;
      if (access(path.c_str(), F_OK) == 0) return true;
    }
  }
  std::ifstream cards("/proc/asound/cards");
  std::string first;
  return cards && std::getline(cards, first) && first.find("no soundcards") == std::string::npos;
}

bool openMixer() {
  QuietAlsa();
  // SDL would turn SIGINT and SIGTERM into quit events that this program never reads, and the
  // process could then not be ended by them (a log-off, a shutdown, Ctrl+C).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 &&
         Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, kBufferFrames) == 0;
}

double bufferMs() {
  int frequency = 0, channels = 0;
  Uint16 format = 0;
  if (!Mix_QuerySpec(&frequency, &format, &channels) || frequency <= 0) return 0;
  return 1000.0 * kBufferFrames / frequency;
}

// Where the sound stands, measured on the wall clock: the mixer cannot tell a MIDI file's
// position, and every device here consumes its samples in real time.
class PlayClock {
 public:
  void startAt(double ms) {
    base_ = ms;
    since_ = Clock::now();
    running_ = true;
  }
  void hold() {
    base_ = now();
    running_ = false;
  }
  void go() {
    since_ = Clock::now();
    running_ = true;
  }
  double now() const {
    if (!running_) return base_;
    return base_ + std::chrono::duration<double, std::milli>(Clock::now() - since_).count();
  }

 private:
  using Clock = std::chrono::steady_clock;
  double base_ = 0;
  Clock::time_point since_{};
  bool running_ = false;
};

// A MIDI sound ends by the file's own length, not when the synthesiser falls silent: FluidSynth
// keeps the stream alive for seconds of release after the last note, where a sequencer has
// already stopped. A MIDI file with no synthesiser to play it still keeps its time.
class SdlSound final : public Sound {
 public:
  SdlSound(Mix_Music* music, std::uint32_t lengthMs, bool endsByLength, double latencyMs)
      : music_(music),
        length_(lengthMs),
        endsByLength_(endsByLength || !music),
        latencyMs_(latencyMs) {}
  ~SdlSound() override {
    if (!music_) return;
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
  }
  SdlSound(const SdlSound&) = delete;
  SdlSound& operator=(const SdlSound&) = delete;

  std::uint32_t lengthMs() override { return length_; }

  std::uint32_t positionMs() override {
    double at = clock_.now();
    if (length_ && repeating_) at = std::fmod(at, length_);
    if (length_) at = std::min(at, static_cast<double>(length_));
    return static_cast<std::uint32_t>(at);
  }

  bool sounding() override {
    if (!sounding_ || repeating_) return sounding_;
    // The decoder runs ahead of the output by a buffer; the sound has ended when that buffer
    // has been played out too, so that closing right after a wait cuts nothing off.
    bool heardToTheEnd = length_ == 0 || clock_.now() >= length_ + latencyMs_;
    bool ended = heardToTheEnd && (endsByLength_ || !Mix_PlayingMusic());
    if (ended) {
      if (music_) Mix_HaltMusic();
      clock_.startAt(length_);
      clock_.hold();
      sounding_ = false;
    }
    return sounding_;
  }

  void start(std::uint32_t fromMs, bool repeat) override {
    double from = fromMs;
    if (music_) {
      Mix_HaltMusic();
      Mix_ResumeMusic();  // a paused stream would otherwise start paused
      Mix_VolumeMusic(volume_);
      Mix_PlayMusic(music_, repeat ? -1 : 1);
      // The MIDI players cannot seek; they start from the beginning, and the clock says so.
      if (fromMs > 0 && Mix_SetMusicPosition(fromMs / 1000.0) != 0) from = 0;
    }
    clock_.startAt(from);
    sounding_ = true;
    repeating_ = repeat;
  }

  void halt() override {
    if (!sounding_) return;
    if (music_) Mix_PauseMusic();
    clock_.hold();
    sounding_ = false;
  }

  void proceed() override {
    if (sounding_) return;
    if (music_) Mix_ResumeMusic();
    clock_.go();
    sounding_ = true;
  }

  void setLevel(double amplitude) override {
    volume_ = static_cast<int>(std::lround(std::clamp(amplitude, 0.0, 1.0) * MIX_MAX_VOLUME));
    if (music_) Mix_VolumeMusic(volume_);
  }

  void waitForEnd() override {
    while (sounding()) SDL_Delay(5);
  }

 private:
  Mix_Music* music_;
  std::uint32_t length_;
  bool endsByLength_;
  double latencyMs_;
  PlayClock clock_;
  bool sounding_ = false;
  bool repeating_ = false;
  int volume_ = MIX_MAX_VOLUME;  // each opened file starts at its full level
};

}  // namespace

std::unique_ptr<SdlDevice> SdlDevice::open() {
  if (deviceAlive.exchange(true)) return nullptr;
  bool opened = MayHaveOutput() && openMixer();
  if (!opened) {
    // No sound card: SDL's dummy output takes the samples at the real rate and drops them.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    opened = openMixer();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
  }
  if (!opened) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceAlive = false;
    return nullptr;
  }
  Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_FLAC | MIX_INIT_MID | MIX_INIT_OPUS);
  return std::unique_ptr<SdlDevice>(new SdlDevice());
}

SdlDevice::~SdlDevice() {
  Mix_HaltMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  deviceAlive = false;
}

std::unique_ptr<Sound> SdlDevice::load(const std::string& nativePath, DeviceType /*type*/,
                                       const Media& media) {
  bool midi = media.format == Format::Midi;
  Mix_Music* music = Mix_LoadMUS(nativePath.c_str());
  // Without a sound font a MIDI file still plays its time in silence; any other file the
  // decoders refuse is one the device cannot read.
  if (!music && !midi) return nullptr;
  std::uint32_t length = media.lengthMs;
  if (music && !midi) {
    double seconds = Mix_MusicDuration(music);
    if (seconds > 0) length = static_cast<std::uint32_t>(std::lround(seconds * 1000.0));
  }
  return std::make_unique<SdlSound>(music, length, midi, bufferMs());
}

}  // namespace inst::sound
