#pragma once
// The screenshot folder of `vonkel-lab play --shots`. Pictures are written
// into a hidden staging folder inside it and moved out all together by
// publish(), so a run that fails or is stopped leaves no picture behind (and
// removes the folders it made); memory does not grow with the number of
// pictures.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vonkel::lab {

class ShotsFolder {
public:
    ShotsFolder() = default;
    ~ShotsFolder() { discard(); }
    ShotsFolder(const ShotsFolder&) = delete;
    ShotsFolder& operator=(const ShotsFolder&) = delete;

    // Makes the folder (and its missing parents) and the staging folder, and
    // checks that the picture of `lastFrame`, the longest name, fits there.
    // Returns an empty string or a message.
    std::string open(const std::string& path, int64_t lastFrame);
    // The frame's doubled picture (640 x 480) as frame-NNNNNN.png.
    std::string shoot(int64_t frame, std::span<const uint32_t> doubled);
    // Moves every picture into the folder. Returns an empty string or a message.
    std::string publish();
    // Removes the staging folder with its pictures and the folders made.
    void discard();

private:
    std::string path_;
    std::string staging_;
    std::vector<std::string> created_;  // deepest first
};

}  // namespace vonkel::lab
