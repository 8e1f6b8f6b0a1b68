// How a gray image becomes 8-bit gray levels, shared by print pages, `render` and thumbnails:
// stored values -> modality values (Modality LUT, else rescale slope and intercept) -> VOI (a
// window, the file's first window or VOI LUT, or a min-max window over the frame) -> the
// presentation's polarity (Presentation LUT Shape, else MONOCHROME1 inverted).
#pragma once

#include <cstdint>
#include <string>

#include "data/model/element_list.h"
#include "imaging/image_pixels.h"
#include "imaging/lookup_table.h"

namespace pella {

struct DisplayOptions {
    enum class Voi {
        FileOrMinMax,  // the file's first window, else its first VOI LUT, else min-max
        MinMax,        // a window from the smallest to the largest modality value of the frame
        Window,        // the window given here
    };
    Voi voi = Voi::FileOrMinMax;
    double windowCentre = 0;
    double windowWidth = 0;
    uint32_t frame = 0;  // from 0
};

class GrayDisplay {
public:
    // Sets up the pipeline for the frame `image` draws, from its data set `list`. False with
    // `reason` set for a window width below 1 given in the options.
    bool Build(const ElementList& list, const ImageAttributes& image, const DisplayOptions& options,
               std::string& reason);

    // The modality value of a stored value.
    double Modality(int64_t stored) const;
    // The displayed gray level (0 black, 255 white) of a modality value.
    uint8_t Level(double modality) const;

private:
    enum class VoiKind { Linear, LinearExact, Sigmoid, Table };
    bool TakeFileVoi(const ElementList& list, bool signedValues);
    void TakeMinMax(const ImageAttributes& image);

    bool modalityTable_ = false;
    LookupTable modality_;
    double slope_ = 1, intercept_ = 0;
    VoiKind voi_ = VoiKind::Linear;
    LookupTable voiTable_;
    double centre_ = 0, width_ = 1;
    bool invert_ = false;
};

}  // namespace pella
