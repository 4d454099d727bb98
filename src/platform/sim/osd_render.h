// Pictures of the simulated outputs: what a monitor on each output shows (the
// channel's picture, video_layer.h, with the OSD window composited through
// the channel's palette, key colour, blend, gain and bias), and the raw OSD
// planes. Written as PNG files into <root>/sim/osd/:
//   out0.png, out1.png   the outputs of channel 1 and channel 2
//   plane0.png, plane1.png  the OSD planes (palette of channel 1)
//   scene.txt            frame number, windows and the texts they show
// Each file is replaced atomically (temporary file, then rename).
#pragma once

#include "platform/sim/scaler_chip.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace board::sim {

struct RgbImage {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // w * h * 3
};

RgbImage composeChannel(const ScalerChip::ChannelCapture& c);

// One picture file, written as a PNG whose image data is compressed in bands
// of rows. A band whose rows did not change since the last write keeps its
// compressed bytes: when only the OSD window changed, only the bands it
// covers are compressed again.
class BandedPng {
public:
    BandedPng();
    ~BandedPng();
    BandedPng(const BandedPng&) = delete;
    BandedPng& operator=(const BandedPng&) = delete;

    // w x h pixels of 3 bytes (RGB) or of 1 byte (palette768: 256 RGB
    // entries); replaced atomically (a temporary file, then a rename).
    // With onlyChanges, a picture the same as the last one written is left.
    enum Result { kWritten, kUnchanged, kFailed };
    Result write(const std::string& path, int w, int h, const uint8_t* pixels, const uint8_t* palette768,
                 bool onlyChanges, std::string* error);
    // The next write compresses every band again.
    void forget() { w_ = h_ = 0; }

private:
    struct Band {
        std::vector<uint8_t> raw;     // its rows, each after its filter byte
        std::vector<uint8_t> packed;  // raw, deflated on its own
        unsigned long adler = 1;
    };
    bool pack(Band& band);

    int w_ = 0, h_ = 0;
    bool rgb_ = false;
    uint8_t palette_[768] = {};
    std::vector<Band> bands_;
    struct Deflater;
    std::unique_ptr<Deflater> deflater_;
};

// Writes the pictures at most five times a second while the chip changes,
// and at once on snapshot(). Between snapshots a picture whose content did
// not change since it was last written is left as it is (a live picture's
// moving bar alone is no change).
class OsdPictures {
public:
    OsdPictures(const ScalerChip& chip, std::string dir);
    ~OsdPictures();
    void start();
    void stop();
    void changed();        // cheap; called with the chip's lock held
    uint64_t snapshot();   // renders now; the frame number written

private:
    void run();
    uint64_t render(bool everything);

    const ScalerChip& chip_;
    std::string dir_;
    std::mutex m_;                // dirty_ and stop_
    std::condition_variable cv_;
    bool dirty_ = false;
    bool stop_ = false;
    uint64_t changes_ = 0;
    std::mutex renderMutex_;      // one render at a time; guards what follows
    uint64_t frame_ = 0;
    // What each picture showed when it was last written.
    std::optional<ScalerChip::ChannelCapture> shown_[2];
    BandedPng out_[2];
    BandedPng plane_[2];
    std::thread thread_;
};

}  // namespace board::sim
