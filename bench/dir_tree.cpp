// The browser's folder tree: expanding a folder of 5,000 subfolders (each looked into for picture
// files and subfolders of its own) until its nodes are in the shown tree, and the reading alone.
//
//   bench_dir_tree [benchmark options]           Google Benchmark on a generated folder
//   bench_dir_tree --time expand|read FOLDER [REPEAT]
//                                                best wall time of REPEAT runs in milliseconds for
//                                                expanding (or only reading) FOLDER
#include "WidgetBenchMain.h"
#include "browser/DirTreeView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kSubFolders = 5000;

// A folder of kSubFolders subfolders: every other one holds a picture file, every third a folder.
struct TWideFolder {
    std::filesystem::path Dir;
    TWideFolder()
    {
        Dir = std::filesystem::temp_directory_path() / ("canvello-dirtree-bench-" + std::to_string(getpid()));
        for (int I = 0; I < kSubFolders; ++I) {
            const std::filesystem::path Sub = Dir / ("folder" + std::to_string(I));
            std::filesystem::create_directories(Sub);
            std::ofstream(Sub / (I % 2 ? "notes.txt" : "photo.JPG")) << "x";
            if (I % 3 == 0)
                std::filesystem::create_directories(Sub / "inner");
        }
    }
    ~TWideFolder() { std::filesystem::remove_all(Dir); }
};

TWideFolder& Wide()
{
    static TWideFolder F;
    return F;
}

void WaitIdle(const TCustomDirTreeView& Tree)
{
    while (Tree.IsLoading()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (Tree.IsLoading())
            QThread::usleep(100);
    }
    QCoreApplication::processEvents(); // the repaint
}

// A shown tree on Folder's parent, with Folder's node selected but not expanded.
struct TShownTree {
    TDirTreeView Tree;
    explicit TShownTree(const std::string& Folder)
    {
        Tree.SetVolumeSource([] { return std::vector<dirtree::TVolumeInfo>{}; });
        Tree.resize(300, 600);
        Tree.show();
        Tree.Initialize();
        Tree.SelectPath(Folder);
        WaitIdle(Tree);
    }
    // Expands the selected node and waits until its subfolders are in the tree; their count.
    int Expand()
    {
        TDirTreeNode* Node = Tree.Selected();
        Node->setExpanded(true);
        WaitIdle(Tree);
        return Node->childCount();
    }
};

void BM_ExpandFolder(benchmark::State& State)
{
    const std::string Folder = Wide().Dir.string();
    for (auto _ : State) {
        State.PauseTiming();
        auto Shown = std::make_unique<TShownTree>(Folder);
        State.ResumeTiming();
        if (Shown->Expand() != kSubFolders)
            State.SkipWithError("wrong number of nodes");
        State.PauseTiming();
        Shown.reset();
        State.ResumeTiming();
    }
}

void BM_ReadSubFolders(benchmark::State& State)
{
    const std::string Folder = Wide().Dir.string();
    const std::vector<std::string> Types = {"bmp", "jpg", "jpeg", "gif"};
    for (auto _ : State)
        benchmark::DoNotOptimize(dirtree::ReadSubFolders(Folder, Types));
}

BENCHMARK(BM_ExpandFolder)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSubFolders)->Unit(benchmark::kMillisecond)->UseRealTime();

int TimeOperation(int Argc, char** Argv)
{
    if (Argc < 4) {
        std::fprintf(stderr, "usage: %s --time expand|read FOLDER [REPEAT]\n", Argv[0]);
        return 2;
    }
    const std::string Op = Argv[2];
    const std::string Folder = Argv[3];
    const int Repeat = RepeatArgument(Argc, Argv, 4);
    int Count = 0;
    double Ms = 0;
    if (Op == "expand") {
        std::unique_ptr<TShownTree> Shown;
        Ms = BestMilliseconds(Repeat, [&] { Shown = std::make_unique<TShownTree>(Folder); },
                              [&] { Count = Shown->Expand(); });
    } else if (Op == "read") {
        Ms = BestMilliseconds(Repeat, [&] {
            Count = static_cast<int>(dirtree::ReadSubFolders(Folder, {"bmp", "jpg", "jpeg", "gif"}).SubFolders.size());
        });
    } else {
        std::fprintf(stderr, "unknown operation: %s\n", Op.c_str());
        return 2;
    }
    std::fprintf(stderr, "%d subfolders\n", Count);
    std::printf("%.3f\n", Ms);
    return 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    return WidgetBenchMain(Argc, Argv, TimeOperation);
}
