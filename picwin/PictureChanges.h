#pragma once
// What changed in a picture window: the flags of its picture-change event, combined into one set.
#include <cstdint>

using TPictureChanges = uint16_t;

enum : TPictureChanges {
    pcPixels = 1,             // picture pixels changed
    pcView = 2,               // the visible part changed
    pcZoom = 4,               // the zoom factor changed
    pcWindowSize = 8,         // the window size changed
    pcPictureSize = 16,       // the picture's dimensions changed
    pcSelectionNew = 32,      // a selection was created
    pcSelectionMoved = 64,    // the selection moved
    pcSelectionPixels = 128,  // the selection's pixels changed
    pcSelectionRemoved = 256, // the selection was removed
};
