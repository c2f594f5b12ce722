// Times libjpeg inside this process: "ref_jpeg decode FILE.jpg", "ref_jpeg decode-eighth FILE.jpg"
// (1/8 scale, fast integer DCT, no fancy upsampling) and "ref_jpeg encode FILE.ppm OUTPUT.jpg"
// (quality 90, 4:2:0) print the milliseconds of one run. A decode is timed from opening the file to
// the RGB pixels in memory; the encode from pixels in memory to the closed output file.
#include "PixelBuffer.h"

#include <cstdio>
#include <jpeglib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
}

[[noreturn]] void Fail(const char* What)
{
    std::fprintf(stderr, "ref_jpeg: %s\n", What);
    std::exit(1);
}

double Decode(const char* Path, bool Eighth)
{
    WarmFreshMemory();
    const auto Start = std::chrono::steady_clock::now();
    FILE* File = std::fopen(Path, "rb");
    if (!File)
        Fail("cannot open the input");
    jpeg_decompress_struct Info;
    jpeg_error_mgr Errors;
    Info.err = jpeg_std_error(&Errors);
    jpeg_create_decompress(&Info);
    jpeg_stdio_src(&Info, File);
    jpeg_read_header(&Info, TRUE);
    Info.out_color_space = JCS_RGB;
    if (Eighth) {
        Info.scale_num = 1;
        Info.scale_denom = 8;
        Info.dct_method = JDCT_IFAST;
        Info.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&Info);
    const size_t Stride = size_t(Info.output_width) * Info.output_components;
    TPixelBuffer Pixels(Stride * Info.output_height);
    while (Info.output_scanline < Info.output_height) {
        JSAMPROW Row = Pixels.data() + Stride * Info.output_scanline;
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    std::fclose(File);
    return MillisecondsSince(Start);
}

// A binary PPM (P6, 8 bits) into Pixels; sets Width and Height.
std::vector<unsigned char> ReadPpm(const char* Path, int& Width, int& Height)
{
    FILE* File = std::fopen(Path, "rb");
    int Max = 0;
    if (!File || std::fscanf(File, "P6 %d %d %d", &Width, &Height, &Max) != 3 || Max != 255)
        Fail("the input is not an 8-bit binary PPM");
    std::fgetc(File);
    std::vector<unsigned char> Pixels(size_t(Width) * Height * 3);
    if (std::fread(Pixels.data(), 1, Pixels.size(), File) != Pixels.size())
        Fail("the PPM is short");
    std::fclose(File);
    return Pixels;
}

double Encode(const char* Input, const char* Output)
{
    int Width = 0, Height = 0;
    const std::vector<unsigned char> Pixels = ReadPpm(Input, Width, Height);
    WarmFreshMemory();
    const auto Start = std::chrono::steady_clock::now();
    FILE* File = std::fopen(Output, "wb");
    if (!File)
        Fail("cannot create the output");
    jpeg_compress_struct Info;
    jpeg_error_mgr Errors;
    Info.err = jpeg_std_error(&Errors);
    jpeg_create_compress(&Info);
    jpeg_stdio_dest(&Info, File);
    Info.image_width = Width;
    Info.image_height = Height;
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, 90, TRUE);
    jpeg_start_compress(&Info, TRUE);
    const size_t Stride = size_t(Width) * 3;
    while (Info.next_scanline < Info.image_height) {
        JSAMPROW Row = const_cast<unsigned char*>(Pixels.data()) + Stride * Info.next_scanline;
        jpeg_write_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::fclose(File);
    return MillisecondsSince(Start);
}

} // namespace

int main(int Argc, char** Argv)
{
    const std::string Op = Argc > 2 ? Argv[1] : "";
    double Took = 0;
    if (Op == "decode" || Op == "decode-eighth")
        Took = Decode(Argv[2], Op == "decode-eighth");
    else if (Op == "encode" && Argc > 3)
        Took = Encode(Argv[2], Argv[3]);
    else {
        std::fprintf(stderr, "usage: ref_jpeg decode|decode-eighth FILE.jpg | encode FILE.ppm OUTPUT.jpg\n");
        return 2;
    }
    std::printf("%.3f\n", Took);
    return 0;
}
