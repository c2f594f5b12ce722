// The print preview on a 6000 x 4000 picture: opening the dialog (which makes its one reduced copy),
// a redraw after an edit of the size, a step of a corner drag (the rectangle redrawn and the preview
// repainted), and printing the picture at 600 dpi to a PDF file.
//
//   bench_print_preview [benchmark options]
//   bench_print_preview --time printpdf OUT.pdf [REPEAT]   best time of the print alone, then the peak
//                                                          memory before and after it (MB)
//   bench_print_preview --inputs DIR                       writes DIR/photo.ppm (the same picture)
#include "WidgetBenchMain.h"
#include "BenchPictures.h"
#include "controls/XGraphicCtrls.h"
#include "dialogs/PrintPreviewDlg.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMarginsF>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QStandardPaths>

#include <sys/resource.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

TBitmap& Picture()
{
    static TBitmap* picture = [] {
        auto* b = new TBitmap(kWidth, kHeight, pf24bit);
        PaintPhotoLike(*b);
        return b;
    }();
    return *picture;
}

// Letter at Dpi with half-inch margins, printing to File.
QPrinter& SetUpPrinter(QPrinter& Printer, const QString& File, int Dpi)
{
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(File);
    Printer.setResolution(Dpi);
    Printer.setPageSize(QPageSize(QPageSize::Letter));
    Printer.setPageOrientation(QPageLayout::Landscape);
    Printer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
    return Printer;
}

QString TempPdf()
{
    const QString shm = "/dev/shm";
    return (QFile::exists(shm) ? shm : QStandardPaths::writableLocation(QStandardPaths::TempLocation)) +
           "/canvello-bench-print.pdf";
}

void BM_Open(benchmark::State& State)
{
    Picture();
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, TempPdf(), 600);
    for (auto _ : State) {
        TPrintPreviewDialog dialog(nullptr, &Picture(), "Bench", &printer);
        benchmark::DoNotOptimize(&dialog);
    }
}

// The dialog on the picture, shown, with fit to page off; hidden again when it goes.
struct TShownDialog {
    QPrinter Printer{QPrinter::HighResolution};
    TPrintPreviewDialog Dialog{nullptr, &Picture(), "Bench", &SetUpPrinter(Printer, TempPdf(), 600)};
    TShownDialog()
    {
        Dialog.show();
        QApplication::processEvents();
        Dialog.SetFitToPage(false);
    }
    ~TShownDialog() { Dialog.hide(); }
};

// An edit of the width: the layout, the rescale from the reduced copy, the redraw and the repaint.
void BM_EditRedraw(benchmark::State& State)
{
    TShownDialog shown;
    TPrintPreviewDialog& dialog = shown.Dialog;
    int step = 0;
    for (auto _ : State) {
        dialog.SetPrintWidth(step ? 3000 : 4200);
        dialog.PreviewImage->repaint();
        step ^= 1;
    }
}

// One mouse move of a corner drag: the inverted rectangle moved and the preview repainted.
void BM_DragStep(benchmark::State& State)
{
    TShownDialog shown;
    TPrintPreviewDialog& dialog = shown.Dialog;
    dialog.SetPrintWidth(3000);
    QWidget* w = dialog.PreviewImage;
    const TRect r = dialog.PreviewBitmap().SelRect;
    auto send = [w](QEvent::Type Type, int X, int Y, Qt::MouseButton B, Qt::MouseButtons Bs) {
        const QPointF p(X, Y);
        QMouseEvent e(Type, p, w->mapToGlobal(p), B, Bs, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    const int x = r.Right - 2, y = r.Bottom - 2;
    send(QEvent::MouseButtonPress, x, y, Qt::LeftButton, Qt::LeftButton);
    int step = 0;
    for (auto _ : State) {
        send(QEvent::MouseMove, x + (step ? 20 : 0), y + (step ? 12 : 0), Qt::NoButton, Qt::LeftButton);
        w->repaint();
        step ^= 1;
    }
    send(QEvent::MouseButtonRelease, x, y, Qt::LeftButton, Qt::NoButton);
}

// The whole print job: the page begun, the picture drawn from its rows, compressed and written.
void PrintOnce(const QString& File)
{
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, File, 600);
    TPrintLayout layout;
    if (!layout.ReadMetrics(printer))
        throw std::runtime_error("no page metrics");
    layout.PictureAspect = static_cast<double>(kWidth) / kHeight;
    layout.Fit();
    if (!PrintPicture(printer, Picture(), layout, "Bench"))
        throw std::runtime_error("print failed");
}

void BM_PrintPdf600(benchmark::State& State)
{
    Picture();
    const QString file = TempPdf();
    for (auto _ : State)
        PrintOnce(file);
    QFile::remove(file);
}

double PeakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

[[maybe_unused]] const bool kRegistered = [] {
    benchmark::RegisterBenchmark("BM_Open", BM_Open)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
    benchmark::RegisterBenchmark("BM_EditRedraw", BM_EditRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_DragStep", BM_DragStep)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_PrintPdf600", BM_PrintPdf600)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    return true;
}();

int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4 || std::string(Argv[2]) != "printpdf")
        return 2;
    Picture();
    const double before = PeakMegabytes();
    const QString file = QString::fromLocal8Bit(Argv[3]);
    const double ms = BestMilliseconds(RepeatArgument(Argc, Argv, 4, 1), [&] { PrintOnce(file); });
    std::printf("%.3f\n", ms);
    std::fprintf(stderr, "peak memory: %.1f MB with the picture, %.1f MB after printing (picture %.1f MB)\n", before,
                 PeakMegabytes(), kWidth * 3.0 * kHeight / (1024 * 1024));
    return 0;
}

int WriteInputs(const std::string& Dir)
{
    QImage image = Picture().AsQImage();
    return image.save(QString::fromStdString(Dir + "/photo.ppm")) ? 0 : 1;
}

} // namespace

int main(int Argc, char** Argv)
{
    return WidgetBenchMain(Argc, Argv, TimeOperation, WriteInputs);
}
