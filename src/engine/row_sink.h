#pragma once

#include "platform/bitmap.h"

namespace engine {

// Takes a picture row by row, from the top row down, each row once. A picture too
// large to hold in memory is handed over this way as it is computed.
class RowSink {
  public:
    virtual ~RowSink() = default;
    // pixels holds the width colours of row, left to right. false ends the picture:
    // the write failed or the user cancelled.
    virtual bool takeRow(int row, const platform::Color* pixels, int width) = 0;
};

}  // namespace engine
