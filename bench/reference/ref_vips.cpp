// Times one libvips operation inside this process, the picture already decoded into memory:
// "ref_vips OPERATION INPUT [OUTPUT] [ARGUMENTS...]" prints the milliseconds of one run.
// The input is read and made resident (vips_image_copy_memory) before the clock starts; the result is
// computed into memory (or written to OUTPUT for the savers) inside the time, as Canvello's
// benchmarks make their result. VIPS_CONCURRENCY sets the threads.
#include "PixelBuffer.h"

#include <vips/vips.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* What)
{
    std::fprintf(stderr, "ref_vips: %s: %s\n", What, vips_error_buffer());
    std::exit(1);
}

VipsImage* Resident(VipsImage* Image)
{
    VipsImage* Memory = vips_image_copy_memory(Image);
    if (!Memory)
        Fail("copy to memory");
    g_object_unref(Image);
    return Memory;
}

double Arg(const std::vector<std::string>& Args, size_t Index)
{
    if (Index >= Args.size()) {
        std::fprintf(stderr, "ref_vips: missing argument %zu\n", Index);
        std::exit(2);
    }
    return std::atof(Args[Index].c_str());
}

// An operation making Out from In; 0 when it worked (vips's convention).
using Operation = std::function<int(VipsImage* In, VipsImage** Out, const std::vector<std::string>& Args)>;

const std::map<std::string, Operation>& Operations()
{
    static const std::map<std::string, Operation> Ops = {
        {"gaussblur", [](VipsImage* In, VipsImage** Out, const auto& A) {
             return vips_gaussblur(In, Out, Arg(A, 0), "min_ampl", Arg(A, 1), nullptr);
         }},
        {"resize", [](VipsImage* In, VipsImage** Out, const auto& A) {
             return vips_resize(In, Out, Arg(A, 0), "kernel", VIPS_KERNEL_LANCZOS3, nullptr);
         }},
        {"subsample", [](VipsImage* In, VipsImage** Out, const auto& A) {
             return vips_subsample(In, Out, int(Arg(A, 0)), int(Arg(A, 0)), nullptr);
         }},
        {"rotate", [](VipsImage* In, VipsImage** Out, const auto& A) {
             double Red[3] = {255, 0, 0};
             VipsArrayDouble* Background = vips_array_double_new(Red, 3);
             VipsInterpolate* Nearest = vips_interpolate_nearest_static();
             const int R = vips_similarity(In, Out, "angle", Arg(A, 0), "interpolate", Nearest, "background",
                                           Background, nullptr);
             vips_area_unref(VIPS_AREA(Background));
             return R;
         }},
        {"bandmean", [](VipsImage* In, VipsImage** Out, const auto&) { return vips_bandmean(In, Out, nullptr); }},
        {"invert", [](VipsImage* In, VipsImage** Out, const auto&) { return vips_invert(In, Out, nullptr); }},
        {"maplut-add", [](VipsImage* In, VipsImage** Out, const auto& A) {
             // A 256-entry lookup table adding A[0] with saturation, applied to every band.
             unsigned char Table[256];
             for (int I = 0; I < 256; ++I)
                 Table[I] = static_cast<unsigned char>(std::min(255.0, I + Arg(A, 0)));
             VipsImage* Lut = vips_image_new_from_memory_copy(Table, sizeof Table, 256, 1, 1, VIPS_FORMAT_UCHAR);
             const int R = vips_maplut(In, Out, Lut, nullptr);
             g_object_unref(Lut);
             return R;
         }},
        {"gamma", [](VipsImage* In, VipsImage** Out, const auto& A) {
             return vips_gamma(In, Out, "exponent", Arg(A, 0), nullptr);
         }},
        {"flip-h", [](VipsImage* In, VipsImage** Out, const auto&) {
             return vips_flip(In, Out, VIPS_DIRECTION_HORIZONTAL, nullptr);
         }},
        {"flip-v", [](VipsImage* In, VipsImage** Out, const auto&) {
             return vips_flip(In, Out, VIPS_DIRECTION_VERTICAL, nullptr);
         }},
        {"shrink", [](VipsImage* In, VipsImage** Out, const auto& A) {
             return vips_shrink(In, Out, Arg(A, 0), Arg(A, 1), nullptr);
         }},
    };
    return Ops;
}

double MillisecondsSince(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
}

} // namespace

int main(int Argc, char** Argv)
{
    if (VIPS_INIT(Argv[0]))
        Fail("start");
    if (Argc < 3) {
        std::fprintf(stderr, "usage: ref_vips OPERATION INPUT [OUTPUT] [ARGUMENTS...]\n");
        return 2;
    }
    const std::string Op = Argv[1];
    const char* Input = Argv[2];
    std::vector<std::string> Rest(Argv + 3, Argv + Argc);
    double Took = 0;

    if (Op == "jpegload" || Op == "jpegload-shrink8") {
        // Reading and decoding the file is the work here: timed from the open to the pixels in memory.
        WarmFreshMemory();
        const auto Start = std::chrono::steady_clock::now();
        VipsImage* Image = Op == "jpegload" ? vips_image_new_from_file(Input, "access", VIPS_ACCESS_SEQUENTIAL, nullptr)
                                            : vips_image_new_from_file(Input, "shrink", 8, nullptr);
        if (!Image)
            Fail("open");
        Image = Resident(Image);
        Took = MillisecondsSince(Start);
        g_object_unref(Image);
    } else if (Op == "thumbnail") {
        WarmFreshMemory();
        const auto Start = std::chrono::steady_clock::now();
        VipsImage* Image = nullptr;
        if (vips_thumbnail(Input, &Image, int(Arg(Rest, 0)), "height", int(Arg(Rest, 1)), nullptr))
            Fail("thumbnail");
        Image = Resident(Image);
        Took = MillisecondsSince(Start);
        g_object_unref(Image);
    } else {
        VipsImage* In = vips_image_new_from_file(Input, nullptr);
        if (!In)
            Fail("open");
        In = Resident(In);
        if (Op == "jpegsave" || Op == "gifsave" || Op == "tiffsave") {
            if (Rest.empty()) {
                std::fprintf(stderr, "ref_vips: %s needs an output\n", Op.c_str());
                return 2;
            }
            const char* Output = Rest[0].c_str();
            WarmFreshMemory();
            const auto Start = std::chrono::steady_clock::now();
            int R = 0;
            if (Op == "jpegsave")
                R = vips_jpegsave(In, Output, "Q", 90, "subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON, nullptr);
            else if (Op == "gifsave")
                R = vips_gifsave(In, Output, nullptr);
            else
                R = vips_tiffsave(In, Output, "compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE, "level", 6,
                                  "predictor", VIPS_FOREIGN_TIFF_PREDICTOR_NONE, nullptr);
            Took = MillisecondsSince(Start);
            if (R)
                Fail("save");
        } else if (Op == "draw_flood") {
            // In place on the resident copy, as Canvello fills its own pixels.
            WarmFreshMemory();
            const auto Start = std::chrono::steady_clock::now();
            double Red[3] = {255, 0, 0};
            if (vips_draw_flood(In, Red, 3, 0, 0, nullptr))
                Fail("draw_flood");
            Took = MillisecondsSince(Start);
        } else {
            const auto It = Operations().find(Op);
            if (It == Operations().end()) {
                std::fprintf(stderr, "ref_vips: unknown operation %s\n", Op.c_str());
                return 2;
            }
            WarmFreshMemory();
            const auto Start = std::chrono::steady_clock::now();
            VipsImage* Out = nullptr;
            if (It->second(In, &Out, Rest))
                Fail(Op.c_str());
            Out = Resident(Out);
            Took = MillisecondsSince(Start);
            g_object_unref(Out);
        }
        g_object_unref(In);
    }
    std::printf("%.3f\n", Took);
    vips_shutdown();
    return 0;
}
