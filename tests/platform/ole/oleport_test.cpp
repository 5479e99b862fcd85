// Tests of the OLE support library through dlopen, as the OLE bridge uses it: handles, the byte
// round trip through global memory blocks, clones, extents, the placeholder drawing, the
// clipboard in one process, the answers of the entries that have no object servers behind them,
// and damaged compound files.
#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "cfb_writer.h"
#include "ole_lib.h"
#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/Menu.h"
#include "platform/gui/VirtualDevice.h"
#include "platform/os/global_mem.h"

namespace {

OleLib& lib()
{
    static OleLib* l = [] {
        auto* x = new OleLib;
        if (!x->load(OLEPORT_PATH)) ADD_FAILURE() << x->error;
        return x;
    }();
    return *l;
}

class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { gui::ensureApplication("oleport_test"); }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

HGLOBAL blockOf(const std::vector<uint8_t>& bytes)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, bytes.size());
    if (!bytes.empty()) std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

// Takes a written block back into bytes and frees it.
std::vector<uint8_t> takeBlock(HGLOBAL h)
{
    std::vector<uint8_t> out(GlobalSize(h));
    if (const void* p = GlobalLock(h)) {
        if (!out.empty()) std::memcpy(out.data(), p, out.size());
        GlobalUnlock(h);
    }
    GlobalFree(h);
    return out;
}

std::vector<uint8_t> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

std::vector<uint8_t> testObject(bool withPresentation = true)
{
    std::vector<CfbStream> streams = {cfb_comp_obj("Test Object")};
    if (withPresentation) streams.push_back(cfb_ole_pres(2540, 1270));
    streams.push_back({"Contents", randomBytes(700, 1)});
    return cfb_write(streams).bytes;
}

class OleportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(lib().handle, nullptr) << lib().error;
        ASSERT_EQ(lib().Init(nullptr), 1);
    }
    void TearDown() override
    {
        for (OleHandle h : made_) lib().Destroy(h);
    }
    OleHandle create()
    {
        OleHandle h = lib().Create(this);
        made_.push_back(h);
        return h;
    }
    // A new object holding `bytes` with `length` (the whole block by default).
    OleHandle fromBytes(const std::vector<uint8_t>& bytes, int32_t length = -1)
    {
        OleHandle h = create();
        EXPECT_EQ(lib().createFromFile(h, nullptr, blockOf(bytes), length < 0 ? static_cast<int32_t>(bytes.size()) : length), 1);
        return h;
    }
    std::vector<OleHandle> made_;
};

TEST_F(OleportTest, HandlesAreDistinctAndNonZero)
{
    std::set<OleHandle> seen;
    for (int i = 0; i < 20; ++i) {
        OleHandle h = create();
        EXPECT_NE(h, 0u);
        EXPECT_TRUE(seen.insert(h).second) << h;
    }
    // A destroyed handle is not given out again.
    OleHandle gone = create();
    lib().Destroy(gone);
    for (int i = 0; i < 5; ++i) EXPECT_NE(create(), gone);
}

struct RoundTripCase {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t length;
};

TEST_F(OleportTest, WriteGivesBackTheBlockItRead)
{
    const std::vector<uint8_t> compound = testObject();
    const RoundTripCase cases[] = {
        {"compound file", compound, static_cast<int32_t>(compound.size())},
        {"random bytes", randomBytes(1234, 2), 1234},
        {"length shorter than the block", randomBytes(100, 3), 60},
        {"compound file one byte longer than its length", [&] { auto v = compound; v.push_back(0); return v; }(),
         static_cast<int32_t>(compound.size())},
        {"one byte", {0x42}, 1},
        {"empty", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OleHandle h = fromBytes(c.bytes, c.length);
        int32_t length = -7;
        HGLOBAL out = lib().write(h, &length);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(GlobalSize(out), c.bytes.size());
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(takeBlock(out), c.bytes);
        // A second write gives the same again.
        EXPECT_EQ(takeBlock(lib().write(h, &length)), c.bytes);
    }
}

TEST_F(OleportTest, CloneKeepsItsOwnCopyOfTheBytes)
{
    const std::vector<uint8_t> bytes = testObject();
    OleHandle source = fromBytes(bytes);
    OleHandle copy = create();
    EXPECT_EQ(lib().clone(copy, source), 1);
    lib().Destroy(source);
    int32_t length = 0;
    EXPECT_EQ(takeBlock(lib().write(copy, &length)), bytes);
    EXPECT_EQ(length, static_cast<int32_t>(bytes.size()));
    int32_t w = 0, hgt = 0, d = -1;
    lib().getHimetricExtent(copy, &w, &hgt, &d);
    EXPECT_EQ(w, 2540);
    EXPECT_EQ(hgt, 1270);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(lib().clone(copy, copy), 0);
    EXPECT_EQ(lib().clone(copy, source), 0) << "the source is gone";
}

TEST_F(OleportTest, BadBlocksAndLengthsAreRefusedAndTheBlockIsFreed)
{
    struct Case { const char* name; std::size_t size; int32_t length; };
    const Case cases[] = {
        {"length beyond the block", 10, 11},
        {"negative length", 10, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OleHandle h = create();
        HGLOBAL block = blockOf(randomBytes(c.size, 4));
        EXPECT_EQ(lib().createFromFile(h, nullptr, block, c.length), 0);
        EXPECT_EQ(GlobalSize(block), 0u) << "the block was taken over and freed";
        int32_t length = 0;
        EXPECT_EQ(lib().write(h, &length), nullptr) << "no object was made";
    }
    OleHandle h = create();
    EXPECT_EQ(lib().createFromFile(h, nullptr, nullptr, 0), 0);
    HGLOBAL block = blockOf(randomBytes(8, 5));
    EXPECT_EQ(lib().createFromFile(987654, nullptr, block, 8), 0);
    EXPECT_EQ(GlobalSize(block), 0u) << "freed also for an unknown handle";
}

int gChangedCalls = 0;
void onChanged(void*) { ++gChangedCalls; }
void* onWindow(void*) { return nullptr; }

TEST_F(OleportTest, DestroyedUnknownAndZeroHandlesAreRefusedByEveryEntry)
{
    OleHandle destroyed = fromBytes(testObject());
    lib().Destroy(destroyed);
    VirtualDevice dev;
    ASSERT_TRUE(dev.setOutputSizePixel(Size(60, 40)));
    Menu menu;
    menu.insertItem(1, String("One"));
    const std::string longName(255, 'x');
    for (OleHandle h : {destroyed, OleHandle(0), OleHandle(0x7FFFFFF0)}) {
        SCOPED_TRACE(h);
        lib().SetCallbacks(h, onChanged, onWindow);
        EXPECT_EQ(lib().clone(h, h), 0);
        OleHandle live = create();
        EXPECT_EQ(lib().clone(live, h), 0);
        EXPECT_EQ(lib().clone(h, live), 0);
        EXPECT_EQ(lib().createFromInsert(h, nullptr, "a.kws", "a"), 0);
        EXPECT_EQ(lib().createFromPaste(h, nullptr), 0);
        EXPECT_EQ(lib().copy(h, nullptr), 0);
        int32_t length = 99;
        EXPECT_EQ(lib().write(h, &length), nullptr);
        EXPECT_EQ(length, 99);
        lib().draw(h, dev.getNativeDC(), 0, 0, 60, 40, 1);
        lib().calcExtent(h);
        lib().calcPixExtent(h, dev.getNativeDC());
        int32_t w = 5, hgt = 6, d = 7;
        lib().getPixExtent(h, &w, &hgt, &d);
        lib().getHimetricExtent(h, &w, &hgt, &d);
        EXPECT_EQ(w, 5);
        EXPECT_EQ(hgt, 6);
        EXPECT_EQ(d, 7);
        EXPECT_EQ(lib().activate(h, 0, "a.kws", "a"), 0);
        EXPECT_EQ(lib().primary(h, "a.kws", "a"), 0);
        lib().notifyOfRename(h, longName.c_str(), longName.c_str());
        lib().addVerbMenu(h, &menu);
        EXPECT_EQ(lib().isLinked(h), 0);
        lib().Destroy(h);
    }
    // Nothing was drawn.
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(dev.getPixel(Point(x, y)), Color(COL_WHITE)) << x << "," << y;
    EXPECT_EQ(gChangedCalls, 0);
}

TEST_F(OleportTest, UninitDestroysEverythingAndInitWorksAgain)
{
    OleHandle before = lib().Create(nullptr);
    ASSERT_NE(before, 0u);
    lib().Uninit();
    EXPECT_EQ(lib().Create(nullptr), 0u) << "no objects before OLE_Init";
    int32_t length = 0;
    EXPECT_EQ(lib().write(before, &length), nullptr);
    ASSERT_EQ(lib().Init(nullptr), 1);
    EXPECT_EQ(lib().write(before, &length), nullptr) << "objects from before do not come back";
    OleHandle after = fromBytes(randomBytes(40, 6));
    EXPECT_NE(after, 0u);
    EXPECT_NE(after, before);
    EXPECT_EQ(takeBlock(lib().write(after, &length)), randomBytes(40, 6));
}

struct ExtentCase {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t himetricW, himetricH, pixW, pixH;
};

TEST_F(OleportTest, ExtentsFromThePresentationStreamOrTheDefault)
{
    const ExtentCase cases[] = {
        {"presentation 2540 x 1270", testObject(true), 2540, 1270, 96, 48},
        {"no presentation", testObject(false), 5080, 2540, 192, 96},
        {"no compound file", randomBytes(300, 7), 5080, 2540, 192, 96},
        {"rounded to the nearest pixel", cfb_write({cfb_ole_pres(100, 40)}).bytes, 100, 40, 4, 2},
    };
    VirtualDevice dev;  // 96 dpi
    ASSERT_EQ(dev.getDPIX(), 96);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OleHandle h = fromBytes(c.bytes);
        lib().calcExtent(h);
        int32_t w = 0, hgt = 0, d = -1;
        lib().getHimetricExtent(h, &w, &hgt, &d);
        EXPECT_EQ(w, c.himetricW);
        EXPECT_EQ(hgt, c.himetricH);
        EXPECT_EQ(d, 0);
        lib().calcPixExtent(h, dev.getNativeDC());
        d = -1;
        lib().getPixExtent(h, &w, &hgt, &d);
        EXPECT_EQ(w, c.pixW);
        EXPECT_EQ(hgt, c.pixH);
        EXPECT_EQ(d, 0);
    }
}

// ---- drawing ----

constexpr int kImageW = 200, kImageH = 120;
// The box of the drawing tests, in pixels: left, top, width, height.
constexpr int kBoxX = 20, kBoxY = 10, kBoxW = 150, kBoxH = 80;

struct Drawn {
    std::vector<bool> dark;  // kImageW x kImageH, row by row
    bool at(int x, int y) const { return dark[static_cast<std::size_t>(y * kImageW + x)]; }
    bool operator==(const Drawn&) const = default;
};

// Draws object `h` on a fresh white device through `setUp` (which may change the map mode and
// gives the rectangle to pass) and reads the pixels back.
template <typename SetUp>
Drawn drawObject(OleHandle h, SetUp setUp, const char* saveAs = nullptr)
{
    VirtualDevice dev;
    EXPECT_TRUE(dev.setOutputSizePixel(Size(kImageW, kImageH)));
    int32_t x, y, w, hgt;
    setUp(dev, x, y, w, hgt);
    lib().draw(h, dev.getNativeDC(), x, y, w, hgt, 0);
    dev.setMapMode(MapMode());
    Drawn out;
    for (int py = 0; py < kImageH; ++py)
        for (int px = 0; px < kImageW; ++px) {
            Color c = dev.getPixel(Point(px, py));
            out.dark.push_back(c.red8() + c.green8() + c.blue8() < 3 * 160);
        }
    if (saveAs != nullptr) {
        dev.flushDrawing();
        const std::filesystem::path dir = std::filesystem::path(KELVO_BINARY_DIR) / "tests" / "ole_images";
        std::filesystem::create_directories(dir);
        dev.image()->save(QString::fromStdString((dir / saveAs).string()));
    }
    return out;
}

auto inPixels(int32_t x, int32_t y, int32_t w, int32_t h)
{
    return [=](VirtualDevice&, int32_t& ox, int32_t& oy, int32_t& ow, int32_t& oh) {
        ox = x;
        oy = y;
        ow = w;
        oh = h;
    };
}

// Twips with y growing upwards, as a print view's twips mode: the caller negates y and height.
auto inTwipsUpwards(int32_t x, int32_t y, int32_t w, int32_t h)
{
    return [=](VirtualDevice& dev, int32_t& ox, int32_t& oy, int32_t& ow, int32_t& oh) {
        dev.setMapMode(MapMode(MapUnit::Twip, Point(0, 0), Fraction(1, 1), Fraction(-1, 1)));
        const int twipsPerPixel = 1440 / dev.getDPIX();
        ox = x * twipsPerPixel;
        oy = -y * twipsPerPixel;
        ow = w * twipsPerPixel;
        oh = -h * twipsPerPixel;
    };
}

void expectPlaceholder(const Drawn& d)
{
    const int right = kBoxX + kBoxW - 1, bottom = kBoxY + kBoxH - 1;
    int inside = 0;
    for (int y = 0; y < kImageH; ++y)
        for (int x = 0; x < kImageW; ++x) {
            const bool onEdge = (x == kBoxX || x == right) && y >= kBoxY && y <= bottom;
            const bool onTopOrBottom = (y == kBoxY || y == bottom) && x >= kBoxX && x <= right;
            const bool within = x > kBoxX && x < right && y > kBoxY && y < bottom;
            if (onEdge || onTopOrBottom) {
                ASSERT_TRUE(d.at(x, y)) << "frame pixel missing at " << x << "," << y;
            } else if (within) {
                inside += d.at(x, y);
            } else {
                ASSERT_FALSE(d.at(x, y)) << "drawn outside the box at " << x << "," << y;
            }
        }
    EXPECT_GT(inside, 40) << "the name shows inside the frame";
}

TEST_F(OleportTest, PlaceholderIsAFrameWithTheNameInside)
{
    OleHandle named = fromBytes(testObject());
    OleHandle plain = fromBytes(randomBytes(500, 8));

    const Drawn pixels = drawObject(named, inPixels(kBoxX, kBoxY, kBoxW, kBoxH), "test_object.png");
    expectPlaceholder(pixels);
    // A negative height draws the same box.
    EXPECT_EQ(drawObject(named, inPixels(kBoxX, kBoxY + kBoxH, kBoxW, -kBoxH)), pixels);
    // The print view's twips with y and height negated: the same box again.
    EXPECT_EQ(drawObject(named, inTwipsUpwards(kBoxX, kBoxY, kBoxW, kBoxH), "test_object_twips.png"), pixels);

    const Drawn unnamed = drawObject(plain, inPixels(kBoxX, kBoxY, kBoxW, kBoxH), "ole_object.png");
    expectPlaceholder(unnamed);
    EXPECT_NE(unnamed, pixels) << "\"OLE object\" is not \"Test Object\"";
    // Whatever the show-objects flag, and for a zero size nothing at all.
    EXPECT_EQ(drawObject(plain, inPixels(kBoxX, kBoxY, 0, kBoxH)), drawObject(plain, inPixels(0, 0, 0, 0)));
}

TEST_F(OleportTest, DamagedCompoundFilesLoadAsOpaqueBytes)
{
    const Drawn plain = drawObject(fromBytes(randomBytes(500, 9)), inPixels(kBoxX, kBoxY, kBoxW, kBoxH));
    struct Damage { const char* name; std::function<void(CfbFile&)> apply; };
    const Damage cases[] = {
        {"sector number beyond the file", [](CfbFile& f) { cfb_put32(f.bytes, 48, 0x00100000); }},
        {"FAT chain that loops", [](CfbFile& f) { cfb_put32(f.bytes, f.fatEntryOffset(f.dirStart), f.dirStart); }},
        {"stream size beyond its chain", [](CfbFile& f) { cfb_put32(f.bytes, f.entryOffset(2) + 120, 4000); }},
        {"directory name length of 200", [](CfbFile& f) { cfb_put16(f.bytes, f.entryOffset(2) + 64, 200); }},
        {"mini stream cut short", [](CfbFile& f) { cfb_put32(f.bytes, f.entryOffset(0) + 120, 64); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // "\002OlePres000" is entry 1 in mini sector 0, "\001CompObj" entry 2 in mini sector 1.
        CfbFile f = cfb_write({cfb_ole_pres(2540, 1270), cfb_comp_obj("Test Object")});
        c.apply(f);
        OleHandle h = fromBytes(f.bytes);
        int32_t length = 0;
        EXPECT_EQ(takeBlock(lib().write(h, &length)), f.bytes);
        EXPECT_EQ(length, static_cast<int32_t>(f.bytes.size()));
        EXPECT_EQ(drawObject(h, inPixels(kBoxX, kBoxY, kBoxW, kBoxH)), plain) << "drawn as \"OLE object\"";
    }
}

// ---- entries without object servers ----

TEST_F(OleportTest, VerbsAndInsertAnswerFalseAndTheMenuStaysAsItWas)
{
    OleHandle h = fromBytes(testObject());
    lib().SetCallbacks(h, onChanged, onWindow);
    EXPECT_EQ(lib().activate(h, 0, "sheet.kws", "sheet"), 0);
    EXPECT_EQ(lib().activate(h, 98, "sheet.kws", "sheet"), 0);
    EXPECT_EQ(lib().primary(h, "sheet.kws", "sheet"), 0);
    EXPECT_EQ(lib().createFromInsert(h, nullptr, "sheet.kws", "sheet"), 0);
    EXPECT_EQ(lib().isLinked(h), 0);
    Menu menu;
    menu.insertItem(10, String("Cut"));
    menu.insertSeparator();
    menu.insertItem(11, String("Copy"));
    lib().addVerbMenu(h, &menu);
    lib().addVerbMenu(0, &menu);
    EXPECT_EQ(menu.getItemCount(), 3);
    // A failed insert leaves the object's bytes alone.
    int32_t length = 0;
    EXPECT_EQ(takeBlock(lib().write(h, &length)), testObject());
    EXPECT_EQ(gChangedCalls, 0);
}

TEST_F(OleportTest, RenameReadsAtMost255Characters)
{
    // Buffers of exactly 256 bytes without a terminating zero: AddressSanitizer reports any read
    // past them.
    std::vector<char> name(256, 'n'), title(256, 't');
    OleHandle h = create();
    lib().notifyOfRename(h, name.data(), title.data());
    lib().notifyOfRename(h, nullptr, nullptr);
    lib().notifyOfRename(h, "sheet.kws", "sheet");
}

// ---- the clipboard within one process ----

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST_F(OleportTest, CopyAndPasteMoveTheBytes)
{
    const std::vector<uint8_t> bytes = testObject();
    OleHandle source = fromBytes(bytes);
    Clipboard::clear();
    ASSERT_EQ(lib().copy(source, nullptr), 1);
    const uint32_t embedded = Clipboard::registerFormat(String("Embedded Object"));
    const uint32_t descriptor = Clipboard::registerFormat(String("Object Descriptor"));
    EXPECT_TRUE(Clipboard::hasFormat(embedded));
    ASSERT_TRUE(Clipboard::hasFormat(descriptor));

    // The descriptor: its size, aspect 1, the extent, and the name in UTF-16 where it points.
    std::vector<uint8_t> about(Clipboard::getDataLength(descriptor));
    ASSERT_EQ(Clipboard::pasteData(descriptor, about.data(), about.size()), about.size());
    ASSERT_GE(about.size(), 52u);
    EXPECT_EQ(le32(about, 0), about.size());
    EXPECT_EQ(le32(about, 20), 1u);
    EXPECT_EQ(le32(about, 24), 2540u);
    EXPECT_EQ(le32(about, 28), 1270u);
    const uint32_t at = le32(about, 44);
    std::string name;
    for (std::size_t i = at; i + 1 < about.size() && (about[i] || about[i + 1]); i += 2) name.push_back(static_cast<char>(about[i]));
    EXPECT_EQ(name, "Test Object");

    OleHandle pasted = create();
    ASSERT_EQ(lib().createFromPaste(pasted, nullptr), 1);
    int32_t length = 0;
    EXPECT_EQ(takeBlock(lib().write(pasted, &length)), bytes);
    EXPECT_EQ(length, static_cast<int32_t>(bytes.size()));

    // Only text on the clipboard: nothing to paste, and the object keeps its bytes.
    Clipboard::clear();
    Clipboard::copyString(String("just text"));
    EXPECT_EQ(lib().createFromPaste(pasted, nullptr), 0);
    EXPECT_EQ(takeBlock(lib().write(pasted, &length)), bytes);
    // An object without bytes has nothing to copy.
    EXPECT_EQ(lib().copy(create(), nullptr), 0);
}

}  // namespace
