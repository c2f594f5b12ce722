// Two-dimensional arrays of bytes and Booleans.
#include "image/ArrayObjects.h"

void TCustom2DArray::Clear()
{
    Width = 0;
    Height = 0;
}
