#pragma once
// Every message of the GIF codec, in one place.

namespace gifstrings {

// Errors and warnings.
inline constexpr const char* sInvalidBitmap = "Invalid image dimensions";
inline constexpr const char* sInvalidPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* sOutOfData = "Premature end of data";
inline constexpr const char* sTooManyColors = "Color table overflow";
inline constexpr const char* sBadColorIndex = "Invalid color index";
inline constexpr const char* sEmptyColorMap = "Color table is empty";
inline constexpr const char* sUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* sBadSignature = "Invalid GIF signature";
inline constexpr const char* sScreenBadColorSize = "Invalid number of colors specified in Screen Descriptor";
inline constexpr const char* sImageBadColorSize = "Invalid number of colors specified in Image Descriptor";
inline constexpr const char* sDecodeTooFewBits = "Decoder bit buffer under-run";
inline constexpr const char* sDecodeCircular = "Circular decoder table entry";
inline constexpr const char* sBadStreamOperation = "Invalid stream operation";
inline constexpr const char* sInvalidColor = "Color not in color table";
inline constexpr const char* sNoImageData = "Image is empty";
inline constexpr const char* sBadPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* sScreenSizeExceeded = "Image exceeds Logical Screen size";
inline constexpr const char* sBadWidth = "Image width too small for contained frames";
inline constexpr const char* sBadHeight = "Image height too small for contained frames";
inline constexpr const char* sBadExtensionLabel = "Invalid extension introducer";
inline constexpr const char* sBadTrailer = "Invalid Image trailer";
inline constexpr const char* sExtensionMismatch = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* sBadApplicationSize = "Unsupported Application Extension block size";
inline constexpr const char* sInvalidData = "Invalid GIF data";
inline constexpr const char* sUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* sUnsupportedClass = "Object type not supported for operation";
inline constexpr const char* sClipboardFailed = "Failed to store GIF on clipboard";
inline constexpr const char* sNoColorTable = "No global or local color table defined";
inline constexpr const char* sUnsupportedClipboardFormat = "Unsupported clipboard format";

// Names and progress captions.
inline constexpr const char* sGIFImage = "GIF Image";
inline constexpr const char* sProgressLoading = "Loading...";
inline constexpr const char* sProgressSaving = "Saving...";
inline constexpr const char* sProgressConverting = "Converting...";
inline constexpr const char* sProgressRendering = "Rendering...";
inline constexpr const char* sProgressCopying = "Copying...";
inline constexpr const char* sProgressOptimizing = "Optimizing...";

} // namespace gifstrings
