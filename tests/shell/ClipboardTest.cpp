#include "ClipboardTestSupport.h"

#include "image/SelectionKinds.h"
#include "shell/CVClipbrd.h"
#include "shell/CVClipbrdSelection.h"
#include "globals/CVGlobal.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace clipboard_test;

namespace {

// ---- Helpers ---------------------------------------------------------------------------------------
// Records every clipboard notice it receives, with what the clipboard held at that moment.
class TListener : public QObject {
public:
    TListener(std::string Name, std::vector<std::string>& Journal, const TCVClipboard* Clipboard = nullptr)
        : FName(std::move(Name)), FJournal(Journal), FClipboard(Clipboard)
    {
    }
    struct THeard {
        int Msg;
        intptr_t WParam, LParam;
        bool HadPicture;
    };
    std::vector<THeard> Heard;
    std::function<void()> OnHear;

protected:
    bool event(QEvent* E) override
    {
        if (E->type() != TCVMessageEvent::EventType(WM_CLIPBOARD_CHANGED))
            return QObject::event(E);
        const auto* m = static_cast<TCVMessageEvent*>(E);
        Heard.push_back({m->Msg, m->WParam, m->LParam, FClipboard && FClipboard->HasPicture()});
        FJournal.push_back(FName);
        if (OnHear)
            OnHear();
        return true;
    }

private:
    std::string FName;
    std::vector<std::string>& FJournal;
    const TCVClipboard* FClipboard;
};

struct TItem {
    uint32_t ID;
    TColor Colour; // of pixel (1, 1)
    TColor Tag;
    bool operator==(const TItem&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TItem& I)
{
    return os << "{id " << I.ID << ", colour " << std::hex << I.Colour << ", tag " << I.Tag << std::dec << "}";
}

std::vector<TItem> History(const TCVClipboard& Clipboard)
{
    std::vector<TItem> items;
    Clipboard.EnumItems([&](uint32_t ID, TBitmap& B, TColor Tag, bool&) { items.push_back({ID, B.GetPixel(1, 1), Tag}); });
    return items;
}

std::vector<TColor> Colours(const TCVClipboard& Clipboard)
{
    std::vector<TColor> colours;
    for (const TItem& i : History(Clipboard))
        colours.push_back(i.Colour);
    return colours;
}

// The picture other programs would paste, or an empty bitmap.
std::unique_ptr<TBitmap> ImageData(const QMimeData* Data)
{
    auto b = std::make_unique<TBitmap>();
    if (Data && Data->hasImage())
        b->AssignQImage(qvariant_cast<QImage>(Data->imageData()));
    return b;
}

QImage ToQImage(const TBitmap& B)
{
    TBitmap copy;
    copy.Assign(&B);
    return copy.AsQImage().copy();
}

// What another program puts on the clipboard.
std::unique_ptr<QMimeData> ForeignPicture(const TBitmap& B)
{
    auto data = std::make_unique<QMimeData>();
    data->setImageData(ToQImage(B));
    return data;
}

std::unique_ptr<QMimeData> ForeignText()
{
    auto data = std::make_unique<QMimeData>();
    data->setText("hello");
    return data;
}

std::unique_ptr<QMimeData> PrivateBlock(const QByteArray& Bytes)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(CVClipboardFormat, Bytes);
    return data;
}

std::string PasteError(const TCVClipboard& Clipboard)
{
    TBitmap b;
    TColor tag = 0;
    try {
        Clipboard.PasteBitmap(&b, tag);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "(nothing raised)";
}

class Clipboard : public ::testing::Test {
protected:
    TFixedTick Tick{5000};
    TMemorySystemClipboard System;
    TCVClipboard Clip{System};
    std::vector<std::string> Journal;
    TListener Listener{"main", Journal, &Clip};

    void SetUp() override { Clip.AddListener(&Listener); }

    // Copies a 4 x 3 picture of Colour; the tick moves on one millisecond.
    void Copy(TColor Colour, TColor Tag = -1)
    {
        Clip.CopyBitmap(Picture(4, 3, Colour).get(), Tag);
        ++TFixedTick::Now;
    }
    int Notices() const { return int(Listener.Heard.size()); }
};

// ---- Copy and paste ------------------------------------------------------------------------------------
TEST_F(Clipboard, CopiesKeepAHistoryAndTheNewestGoesOutAsImageData)
{
    Copy(0xAA0000);
    Copy(0x00BB00, 0x123456);
    EXPECT_EQ(Clip.GetPriorityFormat(), ccCanvello);
    EXPECT_TRUE(Clip.HasPicture());
    EXPECT_EQ(History(Clip), (std::vector<TItem>{{5001, 0x00BB00, 0x123456}, {5000, 0xAA0000, -1}}));

    TBitmap pasted;
    TColor tag = 0;
    Clip.PasteBitmap(&pasted, tag);
    EXPECT_TRUE(SamePixels(pasted, *Picture(4, 3, 0x00BB00)));
    EXPECT_EQ(tag, 0x123456);
    EXPECT_TRUE(SamePixels(*ImageData(System.MimeData()), *Picture(4, 3, 0x00BB00)));

    // Each copy is one change of the clipboard, told after the new contents are in place.
    ASSERT_EQ(Notices(), 2);
    EXPECT_EQ(Listener.Heard[0].Msg, WM_CLIPBOARD_CHANGED);
    EXPECT_EQ(Listener.Heard[0].WParam, 0);
    EXPECT_EQ(Listener.Heard[0].LParam, 0);
    EXPECT_TRUE(Listener.Heard[0].HadPicture);

    Clip.CopyBitmap(nullptr, -1);
    Clip.PasteBitmap(nullptr, tag);
    EXPECT_EQ(Notices(), 2);
}

TEST_F(Clipboard, WhatOtherProgramsReadIsTheCopiedPicturesAsTheyWereCopied)
{
    auto older = Picture(7, 5, 0x336699), newest = Picture(1300, 1100, 0x00C000);
    Clip.CopyBitmap(older.get(), 0x112233);
    ++TFixedTick::Now;
    Clip.CopyBitmapNoTag(newest.get());
    // The source pictures change afterwards: the clipboard keeps what they were.
    newest->SetPixelColor(1, 1, 0x0000FF);
    older->SetPixelColor(1, 1, 0x0000FF);

    // The private block, byte for byte what the stream writes for the same two copies.
    TCVClipboardStream expected;
    TFixedTick::Now = 5000;
    expected.AddItem(*Picture(7, 5, 0x336699), 0x112233);
    TFixedTick::Now = 5001;
    expected.AddItem(*Picture(1300, 1100, 0x00C000), -1);
    EXPECT_EQ(System.MimeData()->data(CVClipboardFormat),
              QByteArray(reinterpret_cast<const char*>(expected.Memory()), qsizetype(expected.Size())));

    // The image other programs paste stays whole after the clipboard has moved on and its memory
    // has gone to other pictures.
    const QImage image = qvariant_cast<QImage>(System.MimeData()->imageData());
    Clip.Clear();
    for (TColor c : {0x111111, 0x222222})
        Clip.CopyBitmapNoTag(Picture(1300, 1100, c).get());
    TBitmap seen;
    seen.AssignQImage(image);
    EXPECT_TRUE(SamePixels(seen, *Picture(1300, 1100, 0x00C000)));
}

TEST_F(Clipboard, AHistoryFromAnotherRunOfTheProgramGoesOnAsItWas)
{
    // Two pictures copied by another run of the program; then copies here, after which nothing but
    // the clipboard holds their block.
    TCVClipboardStream theirs;
    theirs.AddItem(*Picture(6, 4, 0x445566), 0x010203);
    ++TFixedTick::Now;
    theirs.AddItem(*Picture(300, 200, 0x778899), -1);
    System.SetMimeData(PrivateBlock(QByteArray(reinterpret_cast<const char*>(theirs.Memory()), qsizetype(theirs.Size()))));
    TCVClipboardStream expected;
    expected.LoadBlock(theirs.Memory(), theirs.Size());
    for (TColor c : {0x0000AA, 0x0000BB, 0x0000CC}) {
        ++TFixedTick::Now;
        Clip.CopyBitmapNoTag(Picture(300, 200, c).get());
        expected.AddItem(*Picture(300, 200, c), -1);
    }
    EXPECT_EQ(System.MimeData()->data(CVClipboardFormat),
              QByteArray(reinterpret_cast<const char*>(expected.Memory()), qsizetype(expected.Size())));
    EXPECT_EQ(Colours(Clip), (std::vector<TColor>{0x0000CC, 0x0000BB, 0x0000AA, 0x778899, 0x445566}));
}

TEST_F(Clipboard, AnotherProgramsPictureBecomesTheSecondItem)
{
    System.SetMimeData(ForeignPicture(*Picture(5, 2, 0x0000CC)));
    EXPECT_EQ(Clip.GetPriorityFormat(), ccBitmap);
    EXPECT_EQ(History(Clip), (std::vector<TItem>{{TCVClipboardStream::ForeignItemID, 0x0000CC, -1}}));
    TBitmap pasted;
    TColor tag = 0;
    Clip.PasteBitmap(&pasted, tag);
    EXPECT_TRUE(SamePixels(pasted, *Picture(5, 2, 0x0000CC)));
    EXPECT_EQ(tag, -1);

    Copy(0xAA0000, 5);
    EXPECT_EQ(History(Clip), (std::vector<TItem>{{5001, 0xAA0000, 5}, {5000, 0x0000CC, -1}}))
        << "both added within one millisecond: distinct ids";
    EXPECT_EQ(Journal.size(), 2u) << "another program's copy is a change as well";
}

TEST_F(Clipboard, PriorityOfTheFormats)
{
    const auto picture = Picture(2, 2, 1);
    const struct {
        const char* Name;
        std::function<void()> Fill;
        TCVClipboardContents Expected;
    } cases[] = {
        {"empty", [&] { System.Clear(); }, ccEmpty},
        {"no formats", [&] { System.SetMimeData(std::make_unique<QMimeData>()); }, ccEmpty},
        {"text only", [&] { System.SetMimeData(ForeignText()); }, ccOther},
        {"image", [&] { System.SetMimeData(ForeignPicture(*picture)); }, ccBitmap},
        {"private block only", [&] { System.SetMimeData(PrivateBlock("")); }, ccCanvello},
        {"own copy", [&] { Clip.CopyBitmap(picture.get(), -1); }, ccCanvello},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Fill();
        EXPECT_EQ(Clip.GetPriorityFormat(), c.Expected);
        EXPECT_EQ(Clip.HasPicture(), c.Expected >= ccCanvello);
    }
    Clip.Clear();
    EXPECT_EQ(Clip.GetPriorityFormat(), ccEmpty);

    // Nothing to paste: the bitmap is left alone.
    System.SetMimeData(ForeignText());
    TBitmap untouched(3, 3);
    TColor tag = 42;
    Clip.PasteBitmap(&untouched, tag);
    EXPECT_EQ(untouched.Width(), 3);
    EXPECT_EQ(tag, 42);
}

TEST_F(Clipboard, ABadPrivateBlockHoldsNoPictures)
{
    const QByteArray blocks[] = {QByteArray(), QByteArray("\x01\x00\x00", 3),
                                 QByteArray("\x02\x00\x00\x00\x01\x00\x00\x00\x0b\x00\x00\x00junk", 16),
                                 QByteArray("\xff\xff\xff\xff", 4)};
    for (const QByteArray& block : blocks) {
        SCOPED_TRACE(block.toHex().toStdString());
        System.SetMimeData(PrivateBlock(block));
        EXPECT_TRUE(Clip.HasPicture());
        EXPECT_EQ(PasteError(Clip), "GetFirstItem - There are no items");
        EXPECT_TRUE(History(Clip).empty());
        Copy(0x00AA00);
        EXPECT_EQ(Colours(Clip), (std::vector<TColor>{0x00AA00})) << "a fresh history";
    }
}

TEST_F(Clipboard, AFailedCopyLeavesTheClipboardAsItWas)
{
    Copy(0xAA0000);
    const QMimeData* before = System.MimeData();
    TBitmap empty;
    EXPECT_THROW(Clip.CopyBitmap(&empty, -1), EInvalidGraphic);
    EXPECT_EQ(System.MimeData(), before);
    EXPECT_EQ(Colours(Clip), (std::vector<TColor>{0xAA0000}));
    EXPECT_EQ(Notices(), 1);
}

// ---- Deleting and promoting ----------------------------------------------------------------------------
TEST_F(Clipboard, DeleteItem)
{
    Copy(0xA00000, 1);
    Copy(0x00B000, 2);
    Copy(0x0000C0, 3);
    const std::vector<TItem> all = History(Clip);
    ASSERT_EQ(all.size(), 3u);

    Clip.DeleteItem(all[1].ID);
    EXPECT_EQ(Colours(Clip), (std::vector<TColor>{0x0000C0, 0xA00000}));
    EXPECT_TRUE(SamePixels(*ImageData(System.MimeData()), *Picture(4, 3, 0x0000C0)));

    Clip.DeleteItem(all[0].ID);
    EXPECT_EQ(History(Clip), (std::vector<TItem>{all[2]}));
    EXPECT_TRUE(SamePixels(*ImageData(System.MimeData()), *Picture(4, 3, 0xA00000)))
        << "other programs now paste the new newest";

    // An id that is not in the history (a viewer showing an old state) keeps the other pictures.
    const int notices = Notices();
    Clip.DeleteItem(0xBADu);
    EXPECT_EQ(History(Clip), (std::vector<TItem>{all[2]}));
    EXPECT_EQ(Notices(), notices);

    Clip.DeleteItem(all[2].ID);
    EXPECT_EQ(Clip.GetPriorityFormat(), ccEmpty) << "deleting the only item empties the clipboard";
}

TEST_F(Clipboard, DeletingAnotherProgramsPictureEmptiesTheClipboard)
{
    System.SetMimeData(ForeignPicture(*Picture(2, 2, 7)));
    Clip.DeleteItem(TCVClipboardStream::ForeignItemID);
    EXPECT_EQ(Clip.GetPriorityFormat(), ccEmpty);

    // Without a history, other ids change nothing.
    System.SetMimeData(ForeignPicture(*Picture(2, 2, 7)));
    Clip.DeleteItem(5000);
    Clip.PromoteItem(5000);
    EXPECT_EQ(Clip.GetPriorityFormat(), ccBitmap);
}

TEST_F(Clipboard, PromoteItem)
{
    Copy(0xA00000, 1);
    Copy(0x00B000, 2);
    Copy(0x0000C0, 3);
    const std::vector<TItem> all = History(Clip);
    const QMimeData* before = System.MimeData();
    const int notices = Notices();

    // The newest, and an unknown id: the clipboard stays as it is.
    Clip.PromoteItem(all[0].ID);
    Clip.PromoteItem(0xBADu);
    EXPECT_EQ(System.MimeData(), before);
    EXPECT_EQ(Notices(), notices);

    Clip.PromoteItem(all[2].ID);
    EXPECT_EQ(History(Clip), (std::vector<TItem>{all[2], all[0], all[1]}));
    EXPECT_TRUE(SamePixels(*ImageData(System.MimeData()), *Picture(4, 3, 0xA00000)));
    TBitmap pasted;
    TColor tag = 0;
    Clip.PasteBitmap(&pasted, tag);
    EXPECT_EQ(tag, 1);
}

// ---- Enumeration ---------------------------------------------------------------------------------------
TEST_F(Clipboard, EnumItemsStopsWhenAskedAndReportsFailures)
{
    Copy(0xA00000);
    Copy(0x00B000);
    int calls = 0;
    Clip.EnumItems([&](uint32_t, TBitmap&, TColor, bool& Continue) {
        ++calls;
        Continue = false;
    });
    EXPECT_EQ(calls, 1);
    Clip.EnumItems(nullptr);

    std::vector<std::string> shown;
    const auto saved = EventExceptionHandler;
    EventExceptionHandler = [&](QWidget*, const std::string& Message) { shown.push_back(Message); };
    calls = 0;
    Clip.EnumItems([&](uint32_t, TBitmap&, TColor, bool&) {
        ++calls;
        throw Exception("Item index 0 out of bounds");
    });
    EventExceptionHandler = saved;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(shown, (std::vector<std::string>{"ENumCVClipboardItems errorItem index 0 out of bounds"}));
}

// ---- Listeners -----------------------------------------------------------------------------------------
TEST_F(Clipboard, ListenersHearEveryChangeInOrder)
{
    TListener second("second", Journal);
    Clip.AddListener(&second);
    Clip.AddListener(&Listener); // no duplicate check: told twice
    Copy(1);
    EXPECT_EQ(Journal, (std::vector<std::string>{"main", "second", "main"}));

    Journal.clear();
    Clip.RemoveListener(&Listener); // the first occurrence only
    Clip.Clear();
    EXPECT_EQ(Journal, (std::vector<std::string>{"second", "main"}));

    Journal.clear();
    Clip.SetActive(false);
    EXPECT_FALSE(Clip.Active());
    EXPECT_FALSE(Clip.Watcher().Active);
    Copy(2);
    EXPECT_TRUE(Journal.empty());
    Clip.SetActive(true);
    System.SetMimeData(ForeignText());
    EXPECT_EQ(Journal, (std::vector<std::string>{"second", "main"}));
}

TEST_F(Clipboard, ListenersMayGoAwayWhileListening)
{
    auto gone = std::make_unique<TListener>("gone", Journal);
    Clip.AddListener(gone.get());
    TListener third("third", Journal);
    Clip.AddListener(&third);
    gone.reset(); // destroyed without RemoveListener
    // A listener that leaves when told: the others of this round are still told.
    Listener.OnHear = [&] { Clip.RemoveListener(&Listener); };
    Copy(1);
    EXPECT_EQ(Journal, (std::vector<std::string>{"main", "third"}));
    Journal.clear();
    Copy(2);
    EXPECT_EQ(Journal, (std::vector<std::string>{"third"}));
}

// ---- Selections ----------------------------------------------------------------------------------------
TEST_F(Clipboard, SelectionsCopyThroughTheAdapter)
{
    TCVSelectionClipboard adapter(Clip);
    SetSelectionClipboard(&adapter);
    TBitmap parent(10, 10);
    // A picture with a one-pixel border in the transparent colour: the selection trims and masks it.
    auto picture = Picture(5, 5, 0x00FF00);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x)
            picture->SetPixelColor(x, y, 0x0000FF);
    auto selection = TBitmapPictureSelection::CreateSelection(&parent, picture.get(), TPoint{2, 2}, 0x00FF00);
    const bool copied = selection->CopyToClipboard();
    SetSelectionClipboard(nullptr);
    ASSERT_TRUE(copied);
    TBitmap pasted;
    TColor tag = 0;
    Clip.PasteBitmap(&pasted, tag);
    EXPECT_EQ(tag, 0x00FF00);
    EXPECT_TRUE(SamePixels(pasted, selection->Picture()));
}

// ---- The desktop's clipboard ---------------------------------------------------------------------------
class DesktopClipboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        QGuiApplication::clipboard()->clear();
        InitCVClipboard();
    }
    void TearDown() override
    {
        DoneCVClipboard();
        QGuiApplication::clipboard()->clear();
    }
};

TEST_F(DesktopClipboard, InitInstallsTheProgramsClipboardAndDoneRemovesIt)
{
    ASSERT_NE(CVClipboard, nullptr);
    TCVClipboard* first = CVClipboard;
    InitCVClipboard();
    EXPECT_EQ(CVClipboard, first);
    EXPECT_EQ(CVClipboard->Msg(), WM_CLIPBOARD_CHANGED);
    ASSERT_NE(SelectionClipboard(), nullptr);

    SelectionClipboard()->CopyBitmap(*Picture(3, 3, 0x808080), 0x10);
    TBitmap pasted;
    TColor tag = 0;
    CVClipboard->PasteBitmap(&pasted, tag);
    EXPECT_EQ(tag, 0x10);

    DoneCVClipboard();
    EXPECT_EQ(CVClipboard, nullptr);
    EXPECT_EQ(SelectionClipboard(), nullptr);
}

TEST_F(DesktopClipboard, OtherProgramsSeeTheNewestPictureAndItsChangesReachListeners)
{
    std::vector<std::string> journal;
    TListener listener("main", journal, CVClipboard);
    CVClipboard->AddListener(&listener);

    CVClipboard->CopyBitmap(Picture(6, 4, 0x0000AA).get(), -1);
    CVClipboard->CopyBitmap(Picture(6, 4, 0x00AA00).get(), 3);
    QClipboard* desktop = QGuiApplication::clipboard();
    EXPECT_TRUE(desktop->mimeData()->hasFormat(CVClipboardFormat));
    TBitmap seen;
    seen.AssignQImage(desktop->image());
    EXPECT_TRUE(SamePixels(seen, *Picture(6, 4, 0x00AA00)));
    EXPECT_EQ(Colours(*CVClipboard), (std::vector<TColor>{0x00AA00, 0x0000AA}));
    ASSERT_EQ(listener.Heard.size(), 2u);
    EXPECT_TRUE(listener.Heard[1].HadPicture);

    // Another program copies a picture, then text.
    desktop->setImage(ToQImage(*Picture(2, 3, 0xCC0000)));
    EXPECT_EQ(CVClipboard->GetPriorityFormat(), ccBitmap);
    TBitmap pasted;
    TColor tag = 0;
    CVClipboard->PasteBitmap(&pasted, tag);
    EXPECT_TRUE(SamePixels(pasted, *Picture(2, 3, 0xCC0000)));
    EXPECT_EQ(tag, -1);
    desktop->setText("words");
    EXPECT_EQ(CVClipboard->GetPriorityFormat(), ccOther);
    EXPECT_FALSE(CVClipboard->HasPicture());
    EXPECT_EQ(listener.Heard.size(), 4u);

    CVClipboard->RemoveListener(&listener);
}

} // namespace
