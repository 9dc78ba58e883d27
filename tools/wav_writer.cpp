#include "tools/wav_writer.h"

#include <sndfile.h>

namespace vonkel::lab {

WavWriter::~WavWriter() { abandon(); }

void WavWriter::abandon() {
    if (sndfile_ != nullptr) {
        sf_close(sndfile_);
        sndfile_ = nullptr;
    }
    file_.discard();
}

std::string WavWriter::open(const std::string& path) {
    abandon();
    written_ = 0;
    if (std::string error = file_.create(path); !error.empty()) return error;

    SF_INFO info{};
    info.samplerate = kWavSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    // libsndfile owns the descriptor from here on and closes it.
    sndfile_ = sf_open_fd(file_.releaseFd(), SFM_WRITE, &info, SF_TRUE);
    if (sndfile_ == nullptr) {
        const std::string message = "cannot write WAV '" + path + "': " + sf_strerror(nullptr);
        abandon();
        return message;
    }
    // The samples go out exactly as given: no peak chunk to keep up to date,
    // no clipping.
    sf_command(sndfile_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    sf_command(sndfile_, SFC_SET_CLIPPING, nullptr, SF_FALSE);
    return {};
}

std::string WavWriter::write(std::span<const float> samples) {
    if (sndfile_ == nullptr) return "WAV file is not open";
    const auto count = static_cast<sf_count_t>(samples.size());
    if (sf_write_float(sndfile_, samples.data(), count) != count) {
        const std::string message = "cannot write WAV '" + file_.finalPath() + "': " + sf_strerror(sndfile_);
        abandon();
        return message;
    }
    written_ += count;
    return {};
}

std::string WavWriter::finish() {
    if (sndfile_ == nullptr) return "WAV file is not open";
    sf_write_sync(sndfile_);
    const int closed = sf_close(sndfile_);
    sndfile_ = nullptr;
    if (closed != 0) {
        const std::string message = "cannot finish WAV '" + file_.finalPath() + "': " + sf_error_number(closed);
        file_.discard();
        return message;
    }
    return file_.commit();
}

}  // namespace vonkel::lab
