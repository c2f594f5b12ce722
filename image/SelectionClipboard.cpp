#include "image/SelectionClipboard.h"

namespace {
ISelectionClipboard* GClipboard = nullptr;
} // namespace

void SetSelectionClipboard(ISelectionClipboard* Clipboard) { GClipboard = Clipboard; }

ISelectionClipboard* SelectionClipboard() { return GClipboard; }
