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
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace board::sim {

struct RgbImage {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // w * h * 3
};

RgbImage composeChannel(const ScalerChip::ChannelCapture& c);
bool writePngRgb(const std::string& path, const RgbImage& image, std::string* error);
bool writePngIndexed(const std::string& path, int w, int h, const uint8_t* pixels, const uint8_t* palette768,
                     std::string* error);

// Writes the pictures at most five times a second while the chip changes,
// and at once on snapshot().
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
    uint64_t render();

    const ScalerChip& chip_;
    std::string dir_;
    std::mutex m_;                // dirty_ and stop_
    std::condition_variable cv_;
    bool dirty_ = false;
    bool stop_ = false;
    std::mutex renderMutex_;      // one render at a time
    uint64_t frame_ = 0;
    std::thread thread_;
};

}  // namespace board::sim
