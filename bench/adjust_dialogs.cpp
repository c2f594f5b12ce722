// The adjustment dialogs on a 6000 x 4000 picture: opening one (which makes its small preview copy
// by area averaging), and one change of a setting, timed from the edit's change to the repainted
// preview (the effect on the small copy and a synchronous paint of the preview box).
//
//   bench_adjust_dialogs [benchmark options]
//   bench_adjust_dialogs --time scaledcopy IN.bmp W H [REPEAT]   best time of the preview copy alone
//   bench_adjust_dialogs --time previewsize                      prints the preview copy's W H
//   bench_adjust_dialogs --inputs DIR                            writes DIR/photo.bmp
#include "WidgetBenchMain.h"
#include "BenchPictures.h"
#include "controls/XSpinEdits.h"
#include "dialogs/AdjustDlgs.h"
#include "dialogs/RotateDlg.h"
#include "image/BitmapUtils.h"
#include "picwin/CVPicChildWn.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QStandardPaths>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

TCVPicChildWin& Window()
{
    static TCVNewPicChildWin* window = [] {
        auto* w = new TCVNewPicChildWin(nullptr, nullptr, "Bench", kWidth, kHeight, clWhite);
        PaintPhotoLike(w->Picture());
        return w;
    }();
    return *window;
}

struct TDialogCase {
    const char* Name;
    std::function<std::unique_ptr<TBaseAdjDialog>()> Open;
    // Changes the dialog's main setting to one of two values (Step 0 or 1) as the user's edit would.
    std::function<void(TBaseAdjDialog&, int Step)> Change;
};

const std::vector<TDialogCase>& Cases()
{
    static const std::vector<TDialogCase> list = {
        {"brightness", [] { return std::make_unique<TAdjBrightDialog>(nullptr, &Window()); },
         [](TBaseAdjDialog& D, int S) { static_cast<TAdjBrightDialog&>(D).BFactorSpin->SetValue(S ? 40 : 20); }},
        {"gamma", [] { return std::make_unique<TAdjGammaDialog>(nullptr, &Window()); },
         [](TBaseAdjDialog& D, int S) { static_cast<TAdjGammaDialog&>(D).GCFactorSpin->SetValue(S ? 2.0 : 1.5); }},
        {"blur", [] { return std::make_unique<TBlurDialog>(nullptr, &Window()); },
         [](TBaseAdjDialog& D, int S) { static_cast<TBlurDialog&>(D).BlurFactorSpin->SetValue(S ? 10.0 : 5.0); }},
        {"rgb", [] { return std::make_unique<TAdjRGBDialog>(nullptr, &Window()); },
         [](TBaseAdjDialog& D, int S) { static_cast<TAdjRGBDialog&>(D).RedFactorSpin->SetValue(S ? 30 : -30); }},
        {"rotate", [] { return std::make_unique<TRotateDialog>(nullptr, &Window(), clWhite); },
         [](TBaseAdjDialog& D, int S) {
             auto& r = static_cast<TRotateDialog&>(D);
             r.SetAngle(S ? 33 : 20);
             r.FlushPreview();
         }},
    };
    return list;
}

void BM_Open(benchmark::State& State, const TDialogCase* C)
{
    Window(); // the picture is made once, outside every time
    for (auto _ : State) {
        auto dialog = C->Open();
        benchmark::DoNotOptimize(dialog.get());
        State.PauseTiming();
        dialog.reset();
        State.ResumeTiming();
    }
}

void BM_Change(benchmark::State& State, const TDialogCase* C)
{
    auto dialog = C->Open();
    dialog->show();
    QApplication::processEvents();
    int step = 0;
    for (auto _ : State) {
        C->Change(*dialog, step);
        dialog->AdjImage->repaint();
        step ^= 1;
    }
    dialog->hide();
}

[[maybe_unused]] const bool kRegistered = [] {
    for (const TDialogCase& c : Cases()) {
        const std::string n = c.Name;
        benchmark::RegisterBenchmark(("BM_Open/" + n).c_str(), BM_Open, &c)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5);
        benchmark::RegisterBenchmark(("BM_Change/" + n).c_str(), BM_Change, &c)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(40);
    }
    return true;
}();

// "--time scaledcopy IN.bmp W H [REPEAT]": the area-averaged copy the dialogs make, the picture
// loaded outside the time.
int TimeOperation(int Argc, char** Argv)
{
    if (Argc == 3 && std::string(Argv[2]) == "previewsize") {
        TAdjBrightDialog dialog(nullptr, &Window());
        std::printf("%d %d\n", dialog.Bitmap->Width(), dialog.Bitmap->Height());
        return 0;
    }
    if (Argc < 6)
        return 2;
    TBitmap source;
    source.LoadFromFile(Argv[3]);
    const int w = std::atoi(Argv[4]), h = std::atoi(Argv[5]);
    TBitmap copy;
    return TimeNamedOperation({{"scaledcopy", [&] { SmoothResize(source, copy, w, h); }}}, Argv[2], false,
                              RepeatArgument(Argc, Argv, 6));
}

int WriteInputs(const std::string& Dir)
{
    TBitmap photo;
    photo.SetPixelFormat(pf24bit);
    photo.SetSize(kWidth, kHeight);
    PaintPhotoLike(photo);
    photo.SaveToFile(Dir + "/photo.bmp");
    return 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    // The dialogs remember their place in the settings: keep the user's own out of it.
    QStandardPaths::setTestModeEnabled(true);
    return WidgetBenchMain(Argc, Argv, TimeOperation, WriteInputs);
}
