// The open dialog's preview of a 6000 x 4000 JPEG: the picture loaded for the preview area (149 x 132)
// with the quick and the resampled shrink, and the whole way from a selection to the preview shown
// (the decoding on a worker thread, its result taken by the dialog).
//
//   bench_picture_dialogs [benchmark options]        Google Benchmark on a generated photo-like JPEG
//   bench_picture_dialogs --time OP INPUT [REPEAT]   best wall time of REPEAT runs in milliseconds, for
//                                                    scripts/bench-picture-dialogs.sh; OP is one of
//                                                    preview (quick shrink), preview-resampled (area
//                                                    averaging), dialog (selection to preview shown)
#include "WidgetBenchMain.h"
#include "BenchPictures.h"
#include "controls/XOpenPictureDlg.h"
#include "image/XBitmap.h"


#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
// The preview area of the dialog's picture panel.
constexpr int kAreaW = 149;
constexpr int kAreaH = 132;

void Preview(const std::string& Input, bool Resample)
{
    const TFilePreview P = LoadPicturePreview(Input, kAreaW, kAreaH, Resample);
    if (!P.Valid)
        throw std::runtime_error("no preview of " + Input);
    benchmark::DoNotOptimize(P.Image.constBits());
}

// A shown dialog that has previewed nothing since it showed: its next selection loads.
void FreshDialog(TXOpenPictureDialog& Dialog)
{
    Dialog.hide();
    Dialog.show();
}

void DialogPreview(TXOpenPictureDialog& Dialog, const std::string& Input)
{
    Dialog.PreviewFile(Input);
    Dialog.WaitForPreview();
    if (Dialog.PreviewImage().isNull())
        throw std::runtime_error("no preview of " + Input);
}

struct TFiles {
    std::filesystem::path Dir;
    std::string Jpeg;
    TFiles()
    {
        Dir = std::filesystem::temp_directory_path() / ("canvello-bench-dlg-" + std::to_string(getpid()));
        std::filesystem::create_directories(Dir);
        Jpeg = (Dir / "photo.jpg").string();
        TXBitmap Picture;
        Picture.SetSize(kWidth, kHeight);
        PaintPhotoLike(Picture);
        Picture.SavePictureToFile(Jpeg, false);
    }
    ~TFiles() { std::filesystem::remove_all(Dir); }
};

TFiles& Files()
{
    static TFiles F;
    return F;
}

void BM_Preview(benchmark::State& State, bool Resample)
{
    const std::string Input = Files().Jpeg;
    for (auto _ : State)
        Preview(Input, Resample);
}

void BM_DialogPreview(benchmark::State& State)
{
    const std::string Input = Files().Jpeg;
    TXOpenPictureDialog Dialog;
    for (auto _ : State) {
        State.PauseTiming();
        FreshDialog(Dialog);
        State.ResumeTiming();
        DialogPreview(Dialog, Input);
    }
}

BENCHMARK_CAPTURE(BM_Preview, Quick, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Preview, Resampled, true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DialogPreview)->Unit(benchmark::kMillisecond);

int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4) {
        std::fprintf(stderr, "usage: %s --time OP INPUT [REPEAT]\n", Argv[0]);
        return 2;
    }
    const std::string Op = Argv[2], Input = Argv[3];
    const int Repeat = RepeatArgument(Argc, Argv, 4);
    if (Op == "dialog") {
        TXOpenPictureDialog Dialog;
        std::printf("%.3f\n", BestMilliseconds(Repeat, [&] { FreshDialog(Dialog); }, [&] { DialogPreview(Dialog, Input); }));
        return 0;
    }
    const std::map<std::string, std::function<void()>> Ops = {
        {"preview", [&] { Preview(Input, false); }},
        {"preview-resampled", [&] { Preview(Input, true); }},
    };
    return TimeNamedOperation(Ops, Op, false, Repeat);
}

} // namespace

int main(int Argc, char** Argv)
{
    return WidgetBenchMain(Argc, Argv, TimeOperation);
}
