#pragma once
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A private sound server for one test process: its own runtime folder and
// socket, no system or user configuration, started and stopped as our own
// child. Constructing it points this process's sound clients at its socket,
// so until Start() they meet no server at all.
class PulseServer {
public:
    // Sinks of the standard script.
    static constexpr const char* kFloatSink = "wl_float48";  // float32le, 2 ch, 48000 Hz, the default
    static constexpr const char* kFloatSinkName = "Studio Float 48k";
    static constexpr const char* kShortSink = "wl_s16_44";  // s16le, 2 ch, 44100 Hz
    static constexpr const char* kShortSinkName = "Desk S16 44k";
    static constexpr const char* kMonoSink = "wl_mono";  // s16le, 1 ch, 48000 Hz
    static constexpr const char* kMonoSinkName = "Mono Speaker";

    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Starts the daemon with the standard sinks and waits until it answers.
    bool Start();
    // Ends the daemon politely (SIGTERM) or abruptly (SIGKILL) and reaps it.
    void Stop();
    void Kill();
    // Makes the daemon stop answering without closing its socket, and back.
    void Freeze();
    void Thaw();
    bool IsRunning() const { return pid > 0; }

    // Runs pactl against this server; the exit status, or its output.
    int Pactl(const std::string& arguments) const;
    std::string PactlOutput(const std::string& arguments) const;
    // Loads a null sink (float32le, 2 ch, 48000 Hz); returns the module index or -1.
    int LoadNullSink(const std::string& sinkName, const std::string& description);

    // Plays a sine tone in the background into a sink, as float samples at the
    // given rate and channel count, until StopPlayback or the end of the server.
    void PlayTone(const std::string& sinkName, double hertz, double amplitude, int rate, int channels,
                  double seconds = 10.0);
    // Plays exactly `frames` frames of one constant level, then ends.
    void PlayLevel(const std::string& sinkName, float level, int rate, int channels, long frames);
    void StopPlayback();

    const std::string& Address() const { return address; }
    std::string DaemonLog() const;

private:
    pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::string& outputFile) const;
    std::vector<std::string> ClientEnvironment() const;
    void EndDaemon(int signal);

    std::filesystem::path dir;
    std::string socketPath;
    std::string address;
    pid_t pid = -1;
    bool frozen = false;
    void Play(const std::string& sinkName, int rate, int channels, long frames,
              const std::function<float(long frame)>& sampleAt);
    void Prime(const std::string& sinkName);
    void EndChildren(std::vector<pid_t>& children);

    std::vector<pid_t> players;
    std::vector<pid_t> primers;
    int toneCount = 0;
};
