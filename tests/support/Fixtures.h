#pragma once
// Paths of the small fixture files kept beside the tests.
#include <string>

inline std::string FixturePath(const std::string& relative)
{
    return std::string(CANVELLO_FIXTURES) + "/" + relative;
}
