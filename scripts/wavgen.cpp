// Writes the program's three sounds as short generated tones (16-bit PCM, mono, 22050 Hz):
//   wavgen <folder>
// welcome.wav: a rising three-note chime; 1284.wav: the same falling; 85858.wav: a soft click.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {
constexpr int SampleRate = 22050;
constexpr double Pi = 3.14159265358979323846;

struct Note {
    double frequency;
    double seconds;
};

void appendNote(std::vector<std::int16_t> &samples, Note note, double volume) {
    const int count = static_cast<int>(note.seconds * SampleRate);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        // A quick attack and an exponential decay keep the tones free of clicks.
        const double envelope = std::min(1.0, t * 200.0) * std::exp(-4.0 * t / note.seconds);
        const double value = std::sin(2 * Pi * note.frequency * t) * envelope * volume;
        samples.push_back(static_cast<std::int16_t>(value * 32767));
    }
}

void putLe(std::ofstream &out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool writeWav(const std::string &path, const std::vector<std::int16_t> &samples) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);             // format chunk size
    putLe(out, 1, 2);              // PCM
    putLe(out, 1, 2);              // mono
    putLe(out, SampleRate, 4);     // sample rate
    putLe(out, SampleRate * 2, 4); // byte rate
    putLe(out, 2, 2);              // block align
    putLe(out, 16, 2);             // bits per sample
    out.write("data", 4);
    putLe(out, dataBytes, 4);
    for (std::int16_t s : samples)
        putLe(out, static_cast<std::uint16_t>(s), 2);
    return static_cast<bool>(out);
}

std::vector<std::int16_t> melody(std::initializer_list<Note> notes, double volume) {
    std::vector<std::int16_t> samples;
    for (Note n : notes)
        appendNote(samples, n, volume);
    return samples;
}
} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cerr << "usage: wavgen <folder>\n";
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = writeWav(dir + "/welcome.wav",
                             melody({{523.25, 0.16}, {659.25, 0.16}, {783.99, 0.32}}, 0.5)) &&
                    writeWav(dir + "/1284.wav",
                             melody({{783.99, 0.14}, {659.25, 0.14}, {523.25, 0.28}}, 0.5)) &&
                    writeWav(dir + "/85858.wav", melody({{1800.0, 0.025}}, 0.35));
    if (!ok) {
        std::cerr << "wavgen: cannot write the sounds into " << dir << "\n";
        return 1;
    }
    return 0;
}
