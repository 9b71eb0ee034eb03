// SPDX-License-Identifier: MIT
// qelspectrum as users run it: the peaks of its default signal and of WAV
// and FLAC files written here, its one-line errors, and the pictures it
// draws, read back with cairo.
#include <algorithm>
#include <gtest/gtest.h>

#include <cairo.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <pty.h>
#include <sndfile.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "front/loader.h"
#include "front/probe.h"
#include "front/tables.h"
#include "tests/support/variant_loader.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1;  // exit status, or -1 if the program did not exit normally
    bool timedOut = false;
    std::string out, err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path scratch() {
    fs::path folder = fs::path(ZV_TOOLS_SCRATCH) / std::to_string(getpid());
    fs::create_directories(folder);
    return folder;
}

// How a run differs from the test's own environment.
struct RunSettings {
    std::string variant;                  // ZENTAVOL_VARIANT, unless empty
    rlim_t fileSizeLimit = RLIM_INFINITY; // with SIGXFSZ ignored, so writes fail with EFBIG
};

// No run may take longer: a hang fails the test instead of stalling it.
constexpr auto kTimeLimit = std::chrono::seconds(20);

ToolRun runTool(std::vector<std::string> arguments, const RunSettings& settings = {}) {
    arguments.insert(arguments.begin(), ZV_QELSPECTRUM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("ZENTAVOL_VARIANT=", 0) != 0) environment.emplace_back(*entry);
    }
    if (!settings.variant.empty()) environment.push_back("ZENTAVOL_VARIANT=" + settings.variant);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const fs::path out = scratch() / "stdout", err = scratch() / "stderr";
    ToolRun run;
    const pid_t pid = fork();
    if (pid == 0) {
        // only async-signal-safe calls between fork and exec
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(126);
        if (settings.fileSizeLimit != RLIM_INFINITY) {
            const struct rlimit limit = {settings.fileSizeLimit, settings.fileSizeLimit};
            signal(SIGXFSZ, SIG_IGN);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
    int wstatus = 0;
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            run.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.status = !run.timedOut && WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

struct Peak {
    double frequency, level;
};

// The rows after the table's heading.
std::vector<Peak> peaksOf(const std::string& out) {
    std::vector<Peak> peaks;
    std::istringstream lines(out);
    std::string line;
    bool inTable = false;
    while (std::getline(lines, line)) {
        if (line.find("frequency/Hz") != std::string::npos) {
            inTable = true;
            continue;
        }
        int rank = 0;
        Peak peak{};
        if (inTable && std::sscanf(line.c_str(), "%d %lf %lf", &rank, &peak.frequency, &peak.level) == 3) {
            peaks.push_back(peak);
        }
    }
    return peaks;
}

struct Tone {
    double frequency, amplitude;
};

// The tone of `peaks` nearest to `frequency`, or null.
const Peak* nearest(const std::vector<Peak>& peaks, double frequency) {
    const Peak* best = nullptr;
    for (const Peak& peak : peaks) {
        if (best == nullptr || std::fabs(peak.frequency - frequency) < std::fabs(best->frequency - frequency)) {
            best = &peak;
        }
    }
    return best;
}

// Every tone is among the listed peaks within one bin, at its level (dB full
// scale) within 1.5 dB: the Hann window's scalloping is at most 1.42 dB
// before the parabolic interpolation, which only reduces it.
void expectTones(const ToolRun& run, const std::vector<Tone>& tones, double binWidth) {
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Peak> peaks = peaksOf(run.out);
    ASSERT_GE(peaks.size(), tones.size()) << run.out;
    for (const Tone& tone : tones) {
        const Peak* peak = nearest(peaks, tone.frequency);
        ASSERT_NE(peak, nullptr);
        EXPECT_NEAR(peak->frequency, tone.frequency, binWidth) << run.out;
        EXPECT_NEAR(peak->level, 20.0 * std::log10(tone.amplitude), 1.5) << tone.frequency << " Hz\n" << run.out;
    }
}

// Writes `seconds` of the tones (one list per channel) as a file of the given
// libsndfile format.
fs::path writeAudio(const std::string& name, int format, int rate, double seconds,
                    const std::vector<std::vector<Tone>>& channels) {
    fs::path path = scratch() / name;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = static_cast<int>(channels.size());
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file == nullptr) return path;
    const long frames = std::lround(seconds * rate);
    std::vector<double> block(static_cast<size_t>(frames) * channels.size());
    for (long i = 0; i < frames; ++i) {
        for (size_t c = 0; c < channels.size(); ++c) {
            double x = 0.0;
            for (const Tone& tone : channels[c]) x += tone.amplitude * std::sin(2.0 * M_PI * tone.frequency * i / rate);
            block[static_cast<size_t>(i) * channels.size() + c] = x;
        }
    }
    sf_writef_double(file, block.data(), frames);
    sf_close(file);
    return path;
}

// One line, starting with the program's name, and nothing on stdout.
void expectOneLineError(const ToolRun& run, const std::string& fragment) {
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.rfind("qelspectrum: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(fragment), std::string::npos) << run.err;
}

// The five tones the program generates: 440, 1000, 3150 and 12500 Hz all
// the time, 6000 Hz in the second half only (so 3 dB lower on average).
const std::vector<Tone> kDefaultTones = {
    {440.0, 0.5}, {1000.0, 0.25}, {3150.0, 0.125}, {6000.0, 0.1 * std::sqrt(0.5)}, {12500.0, 0.05},
};

TEST(Qelspectrum, FindsTheTonesOfItsDefaultSignal) {
    ToolRun run = runTool({});
    expectTones(run, kDefaultTones, 48000.0 / 4096);
    EXPECT_EQ(peaksOf(run.out).size(), 5u);
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("default signal"), std::string::npos);
    for (int order : {10, 14}) {
        SCOPED_TRACE(order);
        expectTones(runTool({"--order", std::to_string(order), "--peaks", "5"}), kDefaultTones,
                    48000.0 / (1 << order));
    }
    expectTones(runTool({"--window", "blackman", "--hop", "1000"}), kDefaultTones, 48000.0 / 4096);
}

TEST(Qelspectrum, ShowsProgressOnlyOnATerminal) {
    // 735 frames: enough for progress. Into a file, stderr stays empty.
    const std::vector<std::string> arguments = {"--hop", "256"};
    ToolRun quiet = runTool(arguments);
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");

    // With stderr on a terminal (stdout still into a file): percentages.
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int out = open("/dev/null", O_WRONLY);
        dup2(out, 1);
        execl(ZV_QELSPECTRUM, ZV_QELSPECTRUM, "--hop", "256", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string shown;
    char block[4096];
    for (;;) {
        ssize_t got = read(master, block, sizeof block);
        if (got <= 0) break;  // EIO once the child has closed its side
        shown.append(block, static_cast<size_t>(got));
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    close(master);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    EXPECT_NE(shown.find("qelspectrum: 100% (735 of 735 frames)"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r"), std::string::npos);
}

TEST(Qelspectrum, NamesTheVariantLibraryTheProcessRunsOn) {
    ToolRun run = runTool({"--peaks", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    size_t at = run.out.find("library:  ");
    ASSERT_NE(at, std::string::npos) << run.out;
    std::string line = run.out.substr(at + 10, run.out.find('\n', at) - at - 10);
    std::string path = line.substr(0, line.find(" (variant "));
    EXPECT_TRUE(fs::exists(path)) << line;
    std::string base = fs::path(path).filename().string();
    EXPECT_EQ(base.rfind("libZentavol", 0), 0u) << line;
    EXPECT_NE(base, "libZentavol.so") << line;
    EXPECT_NE(line.find("(variant " + base.substr(11, base.find('.') - 11) + ")"), std::string::npos) << line;
    // The machine's preference row decides: its first variant among those
    // built.
    const int row = qel::front::preferenceRowFor(qel::front::isOldWindows(), qel::front::classifyProcessor());
    const auto built = zv::test::builtVariants();
    std::string chosen;
    for (int i = 0; chosen.empty() && qel::front::kPreferenceRows[row][i] != qel::front::kRowEnd; ++i) {
        const std::string code = std::string(qel::front::kVariantNames[qel::front::kPreferenceRows[row][i]]).substr(8);
        if (std::find(built.begin(), built.end(), code) != built.end()) chosen = code;
    }
    EXPECT_NE(line.find("(variant " + chosen + ")"), std::string::npos) << line;
}

TEST(Qelspectrum, FindsTheTonesOfAWavAndAFlacFile) {
    fs::path wav = writeAudio("stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2.0,
                              {{{700.0, 0.5}}, {{2500.0, 0.3}, {9000.0, 0.1}}});
    expectTones(runTool({wav.string(), "--peaks", "3"}), {{700.0, 0.5}}, 44100.0 / 4096);
    expectTones(runTool({"--channel", "2", wav.string()}), {{2500.0, 0.3}, {9000.0, 0.1}}, 44100.0 / 4096);

    fs::path flac = writeAudio("mono.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 1.5,
                               {{{300.0, 0.4}, {5000.0, 0.2}, {31000.0, 0.05}}});
    expectTones(runTool({"-o", "14", flac.string()}), {{300.0, 0.4}, {5000.0, 0.2}, {31000.0, 0.05}},
                96000.0 / 16384);
}

TEST(Qelspectrum, AnalysesASignalShorterThanOneFrame) {
    fs::path wav = writeAudio("short.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 0.05, {{{1000.0, 0.5}}});
    ToolRun run = runTool({"--order", "12", wav.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Peak> peaks = peaksOf(run.out);
    ASSERT_FALSE(peaks.empty());
    EXPECT_NEAR(peaks[0].frequency, 1000.0, 8000.0 / 4096);
    EXPECT_NE(run.out.find("1 frame of"), std::string::npos) << run.out;
}

TEST(Qelspectrum, RejectsBadInputWithOneLine) {
    fs::path text = scratch() / "notes.txt";
    std::ofstream(text) << "These are not samples.\nJust text.\n";
    fs::path empty = writeAudio("empty.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 0.0, {{}});
    fs::path mono = writeAudio("mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 0.1, {{{440.0, 0.5}}});

    expectOneLineError(runTool({(scratch() / "missing.wav").string()}), "No such file or directory");
    expectOneLineError(runTool({text.string()}), "cannot read");
    expectOneLineError(runTool({empty.string()}), "holds no samples");
    expectOneLineError(runTool({"--order", "40"}), "frame order 40 is out of range");
    expectOneLineError(runTool({"--order", "3"}), "out of range");
    expectOneLineError(runTool({"--order", "ten"}), "whole number");
    expectOneLineError(runTool({"--order", "99999999999999999999"}), "whole number");
    expectOneLineError(runTool({"--hop", "0"}), "hop 0 is out of range");
    expectOneLineError(runTool({"--peaks", "-1"}), "out of range");
    expectOneLineError(runTool({"--channel", "2", mono.string()}), "has 1 channel");
    expectOneLineError(runTool({"--channel", "2"}), "default signal has 1 channel");
    expectOneLineError(runTool({"--window", "triangle"}), "unknown window");
    expectOneLineError(runTool({"--frobnicate"}), "unknown option");
    expectOneLineError(runTool({"--order"}), "needs a value");
    expectOneLineError(runTool({"a.wav", "b.wav"}), "one too many");
    expectOneLineError(runTool({"--spectrogram"}), "--plot");
    expectOneLineError(runTool({"--log-frequency"}), "--plot");
    expectOneLineError(runTool({"--plot", (scratch() / "plot.jpg").string()}), ".png or .svg");
}

TEST(Qelspectrum, ReportsAPlotItCannotWrite) {
    ToolRun run = runTool({"--plot", (scratch() / "no-such-folder" / "plot.png").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("qelspectrum: cannot write", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

// The entries of a folder, by name.
std::vector<std::string> entriesOf(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

fs::path writeFloatWav(const fs::path& path, const std::vector<float>& samples, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file == nullptr) return path;
    EXPECT_EQ(sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size())),
              static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    return path;
}

// Samples no spectrum can be made of: an infinity (its transform holds NaNs
// with the sign bit set, on which some builds' magnitudes end the process),
// a NaN, and values near the largest float (whose spectrum overflows); and
// samples each of whose frames is fine but whose summed power overflows.
// Every build the front library loads gives one line naming the sample or
// frame, exit 2, and no plot.
TEST(Qelspectrum, RefusesSamplesWhoseSpectrumCannotBeMadeOnEveryVariant) {
    const fs::path folder = scratch() / "unfit";
    fs::create_directories(folder);
    std::vector<float> tone(8000);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 440.0 * i / 8000));
    std::vector<float> withInfinity = tone, withHuge = tone, withNan = tone;
    withInfinity[5000] = INFINITY;
    withHuge[1234] = 3e38f;
    withHuge[1235] = -3e38f;
    withNan[3000] = -std::numeric_limits<float>::quiet_NaN();
    // Just below the bound for frames of 16 samples with the rectangular
    // window: each frame's power is finite, 17 frames' sum is not.
    const std::vector<float> loud(400, 2.8e17f);
    const std::vector<float> loudButFew(100, 2.8e17f);

    struct Case {
        fs::path file;
        std::vector<std::string> options;
        std::string fragment;
    };
    const std::vector<Case> cases = {
        {writeFloatWav(folder / "inf.wav", withInfinity, 8000), {}, "inf.wav: sample 5000 (0.625 s, frame 1) is +inf"},
        {writeFloatWav(folder / "huge.wav", withHuge, 8000), {}, "huge.wav: sample 1234 (0.154 s, frame 0) is 3e+38, beyond"},
        {writeFloatWav(folder / "nan.wav", withNan, 8000), {}, "nan.wav: sample 3000 (0.375 s, frame 0) is NaN"},
        {writeFloatWav(folder / "loud.wav", loud, 8000), {"-o", "4", "-w", "rectangular"},
         "loud.wav: the summed power of some frequency overflows at frame 16 (0.016 s)"},
    };
    const fs::path fewer = writeFloatWav(folder / "fewer.wav", loudButFew, 8000);
    const std::vector<std::string> inputs = entriesOf(folder);
    const fs::path plot = folder / "plot.png";
    for (const std::string& variant : zv::test::builtVariants()) {
        SCOPED_TRACE(variant);
        for (const Case& c : cases) {
            for (bool plotted : {false, true}) {
                std::vector<std::string> arguments = c.options;
                arguments.push_back(c.file.string());
                if (plotted) arguments.insert(arguments.end(), {"--plot", plot.string()});
                expectOneLineError(runTool(arguments, {variant}), c.fragment);
            }
        }
        // 11 frames of the loud samples: finite throughout
        ToolRun run = runTool({"-o", "4", "-w", "rectangular", fewer.string()}, {variant});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("analysis: 11 frames"), std::string::npos) << run.out;
    }
    EXPECT_EQ(entriesOf(folder), inputs);
}

// A few seconds of something like a recording: two tones over noise.
fs::path writeRecording(const fs::path& path, int format) {
    SF_INFO info{};
    info.samplerate = 16000;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file == nullptr) return path;
    std::vector<float> samples(3 * 16000);
    unsigned state = 12345u;
    for (size_t i = 0; i < samples.size(); ++i) {
        state = state * 1103515245u + 12345u;
        const double noise = (state >> 8) / 8388608.0 - 1.0;
        samples[i] = static_cast<float>(0.4 * std::sin(2.0 * M_PI * 440.0 * i / 16000) +
                                        0.2 * std::sin(2.0 * M_PI * 3000.0 * i / 16000) + 0.05 * noise);
    }
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    return path;
}

// Cut anywhere, a compressed recording is analysed as far as it decodes,
// with a warning, or refused with one line when nothing of it does; never
// analysed for ever from a length the file cannot back (a cut Ogg file
// reports the largest count there is).
TEST(Qelspectrum, AnalysesEveryCutOfACompressedRecordingAsFarAsItGoes) {
    const fs::path folder = scratch() / "cuts";
    fs::create_directories(folder);
    for (const auto& [name, format] : {std::pair<std::string, int>{"recording.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                                       std::pair<std::string, int>{"recording.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}}) {
        SCOPED_TRACE(name);
        const fs::path full = writeRecording(folder / name, format);
        expectTones(runTool({full.string()}), {{440.0, 0.4}, {3000.0, 0.2}}, 16000.0 / 4096);

        const std::string bytes = slurp(full);
        const fs::path cut = folder / ("cut-" + name), plot = folder / "cut.png";
        int analysed = 0, refused = 0;
        for (int part = 1; part < 25; ++part) {
            const size_t size = bytes.size() * part / 25;
            SCOPED_TRACE(size);
            std::ofstream(cut, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
            fs::remove(plot);
            // a plot of every third (drawing is the slow part)
            const bool plotted = part % 3 == 0;
            std::vector<std::string> arguments = {cut.string()};
            if (plotted) arguments.insert(arguments.end(), {"--plot", plot.string()});
            ToolRun run = runTool(arguments);
            ASSERT_FALSE(run.timedOut);
            if (run.status == 2) {
                expectOneLineError(run, cut.string());
                EXPECT_FALSE(fs::exists(plot));
                ++refused;
                continue;
            }
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.err.rfind("qelspectrum: warning: " + cut.string() + ": the input ends after ", 0), 0u)
                << run.err;
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
            const std::vector<Peak> peaks = peaksOf(run.out);
            ASSERT_FALSE(peaks.empty()) << run.out;
            EXPECT_NEAR(peaks[0].frequency, 440.0, 16000.0 / 4096) << run.out;
            EXPECT_EQ(fs::exists(plot), plotted);
            ++analysed;
        }
        EXPECT_GT(analysed, 10);
        EXPECT_GT(refused, 0);
    }
}

// A write that fails part-way (a file size limit stands in for a full disk)
// leaves no partial plot and no temporary, and an earlier plot keeps its
// bytes; a plot that is written replaces the earlier one with its
// permissions, or gets a new file's.
TEST(Qelspectrum, ReplacesAPlotWholeOrNotAtAll) {
    const fs::path folder = scratch() / "replace";
    fs::create_directories(folder);
    const mode_t mask = umask(0);
    umask(mask);
    RunSettings limited;
    limited.fileSizeLimit = 4096;
    for (const std::string name : {"plot.png", "plot.svg"}) {
        SCOPED_TRACE(name);
        const fs::path plot = folder / name;
        auto expectFailedWrite = [&](const ToolRun& run) {
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.err, "qelspectrum: cannot write '" + plot.string() + "': File too large\n");
        };
        expectFailedWrite(runTool({"--plot", plot.string()}, limited));
        EXPECT_FALSE(fs::exists(plot));

        ASSERT_EQ(runTool({"--plot", plot.string(), "--spectrogram"}).status, 0);
        struct stat status {};
        ASSERT_EQ(stat(plot.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask);
        const std::string earlier = slurp(plot);
        ASSERT_GT(earlier.size(), 4096u);
        ASSERT_EQ(chmod(plot.c_str(), 0604), 0);
        expectFailedWrite(runTool({"--plot", plot.string()}, limited));
        EXPECT_EQ(slurp(plot), earlier);

        ASSERT_EQ(runTool({"--plot", plot.string()}).status, 0);
        EXPECT_NE(slurp(plot), earlier);
        ASSERT_EQ(stat(plot.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0604u);
    }
    EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"plot.png", "plot.svg"}));
}

TEST(Qelspectrum, DrawsAPngThatReadsBack) {
    for (bool spectrogram : {false, true}) {
        fs::path png = scratch() / (spectrogram ? "both.png" : "spectrum.png");
        std::vector<std::string> arguments = {"--plot", png.string()};
        if (spectrogram) arguments.push_back("--spectrogram");
        ToolRun run = runTool(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
        ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_width(image), 1000);
        EXPECT_EQ(cairo_image_surface_get_height(image), spectrogram ? 900 : 460);
        // something besides the white background was drawn
        cairo_surface_flush(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        int stride = cairo_image_surface_get_stride(image), height = cairo_image_surface_get_height(image);
        long dark = 0;
        for (int y = 0; y < height; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
            for (int x = 0; x < 1000; ++x) dark += (row[x] & 0xFF) < 128;
        }
        EXPECT_GT(dark, spectrogram ? 200000 : 2000);
        cairo_surface_destroy(image);
    }
}

// Elements by name in the tree under node.
void countElements(const xmlNode* node, std::map<std::string, int>& counts) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) continue;
        ++counts[reinterpret_cast<const char*>(node->name)];
        countElements(node->children, counts);
    }
}

TEST(Qelspectrum, DrawsAnSvgThatReadsBack) {
    fs::path svg = scratch() / "both.svg";
    ToolRun run = runTool({"--plot", svg.string(), "--spectrogram"});
    ASSERT_EQ(run.status, 0) << run.err;
    // well-formed XML whose root is an SVG element of the drawing's size,
    // holding the curve (paths) and the spectrogram (an image)
    xmlDoc* document = xmlReadFile(svg.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    ASSERT_NE(document, nullptr) << slurp(svg).substr(0, 400);
    const xmlNode* root = xmlDocGetRootElement(document);
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "svg");
    ASSERT_NE(root->ns, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->ns->href), "http://www.w3.org/2000/svg");
    xmlChar* width = xmlGetProp(root, reinterpret_cast<const xmlChar*>("width"));
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(width)).rfind("1000", 0), 0u);
    xmlFree(width);
    std::map<std::string, int> counts;
    countElements(root, counts);
    EXPECT_GT(counts["path"], 10);
    EXPECT_GE(counts["image"], 1);
    xmlFreeDoc(document);
    xmlCleanupParser();
}

// The centres of the peak marks: the red filled circles, each a path of
// its own that starts at its rightmost point (x + 3, y).
std::vector<double> peakMarksOf(const fs::path& svg) {
    std::vector<double> xs;
    xmlDoc* document = xmlReadFile(svg.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (document == nullptr) return xs;
    std::vector<const xmlNode*> pending = {xmlDocGetRootElement(document)};
    while (!pending.empty()) {
        const xmlNode* node = pending.back();
        pending.pop_back();
        for (; node != nullptr; node = node->next) {
            if (node->type != XML_ELEMENT_NODE) continue;
            if (node->children != nullptr) pending.push_back(node->children);
            if (std::string(reinterpret_cast<const char*>(node->name)) != "path") continue;
            xmlChar* style = xmlGetProp(node, reinterpret_cast<const xmlChar*>("style"));
            xmlChar* d = xmlGetProp(node, reinterpret_cast<const xmlChar*>("d"));
            double x = 0.0, y = 0.0;
            char next = 0;
            if (style != nullptr && d != nullptr &&
                std::string(reinterpret_cast<const char*>(style)).find("fill:rgb(80%,10%,10%)") != std::string::npos &&
                std::sscanf(reinterpret_cast<const char*>(d), "M %lf %lf %c", &x, &y, &next) == 3 && next == 'C')
                xs.push_back(x - 3.0);
            xmlFree(style);
            xmlFree(d);
        }
    }
    xmlFreeDoc(document);
    xmlCleanupParser();
    std::sort(xs.begin(), xs.end());
    return xs;
}

// Where the five tones sit between the lowest and the highest: the share of
// the span in Hz on a linear axis, of the span in octaves on a logarithmic
// one. The ratios hold whatever the plot's margins are.
TEST(Qelspectrum, PlacesThePeaksOnALinearOrALogarithmicFrequencyAxis) {
    for (bool logarithmic : {false, true}) {
        SCOPED_TRACE(logarithmic ? "logarithmic" : "linear");
        fs::path svg = scratch() / (logarithmic ? "log.svg" : "linear.svg");
        std::vector<std::string> arguments = {"--plot", svg.string()};
        if (logarithmic) arguments.push_back("--log-frequency");
        ToolRun run = runTool(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<double> frequencies;
        for (const Peak& peak : peaksOf(run.out)) frequencies.push_back(peak.frequency);
        std::sort(frequencies.begin(), frequencies.end());
        std::vector<double> xs = peakMarksOf(svg);
        ASSERT_EQ(xs.size(), 5u);
        ASSERT_EQ(frequencies.size(), 5u);
        auto scale = [logarithmic](double f) { return logarithmic ? std::log(f) : f; };
        const double span = scale(frequencies[4]) - scale(frequencies[0]);
        for (int i = 1; i < 4; ++i) {
            const double expected = (scale(frequencies[i]) - scale(frequencies[0])) / span;
            // half a pixel of the roughly 300-800 pixel span
            EXPECT_NEAR((xs[i] - xs[0]) / (xs[4] - xs[0]), expected, 0.002) << frequencies[i] << " Hz";
        }
    }
}

// The spectrogram's colour scale: somewhere right of the plots a column
// whose red component falls steadily from the top level's pale yellow to
// the floor's near black over at least 300 pixels (red rises with level
// along the whole colour map), with tick labels beside it and the
// frequency axis named on the left. Without a spectrogram there is none.
TEST(Qelspectrum, DrawsTheSpectrogramsColourScaleAndAxisNames) {
    for (bool spectrogram : {true, false}) {
        SCOPED_TRACE(spectrogram ? "spectrogram" : "spectrum only");
        fs::path png = scratch() / (spectrogram ? "scale.png" : "noscale.png");
        std::vector<std::string> arguments = {"--plot", png.string(), "--log-frequency"};
        if (spectrogram) arguments.push_back("--spectrogram");
        ToolRun run = runTool(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
        ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
        cairo_surface_flush(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
        auto pixel = [&](int x, int y) {
            return reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
        };
        auto red = [&](int x, int y) { return static_cast<int>((pixel(x, y) >> 16) & 0xFF); };
        auto dark = [&](int x, int y) {
            const uint32_t p = pixel(x, y);
            return ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
        };
        int barColumn = -1, barTop = 0, barBottom = 0;
        for (int x = width * 85 / 100; x < width && barColumn < 0; ++x) {
            for (int top = 0; top < height; ++top) {
                if (red(x, top) < 230) continue;
                int y = top;
                while (y + 1 < height && red(x, y + 1) <= red(x, y)) ++y;
                if (y - top >= 300 && red(x, y) <= 12) {
                    barColumn = x;
                    barTop = top;
                    barBottom = y;
                    break;
                }
                top = y;
            }
        }
        if (!spectrogram) {
            EXPECT_EQ(barColumn, -1);
            cairo_surface_destroy(image);
            continue;
        }
        ASSERT_GE(barColumn, 0) << "no colour scale";
        long labels = 0, axisName = 0;
        for (int y = barTop; y <= barBottom; ++y) {
            for (int x = barColumn + 16; x < width; ++x) labels += dark(x, y);
            for (int x = 8; x < 40; ++x) axisName += dark(x, y);
        }
        EXPECT_GT(labels, 300) << "tick labels and the scale's name";
        EXPECT_GT(axisName, 100) << "the frequency axis's name";
        cairo_surface_destroy(image);
    }
}

}  // namespace
