#pragma once
// HtmlExporter: the writer through which a document and its elements export HTML.  It keeps a
// stack of open files (writing goes to the top one; writes are skipped when none is open), the
// name makers of pages, pictures and automatic anchors, the export directory, the content file's
// name and the picture format.  Every file it opened is closed when it goes.
//
// Names (the export file doc.html in the directory D):
//   main maker      "doc" + running number or text + ".html": doc.html (no text), doc1.html,
//                   docTOC.html
//   image maker     "images/doc" + number + ".gif" (".bmp" for format 1) when D/images exists or
//                   could be made, else "doc" + number + ".gif"
//   bookmark maker  "KelvoAutoBookmark" + number
// Files are opened in binary mode in D under those names.
//
// Escaping: writeText escapes text for element content; anchor names and link targets are
// given raw (as the elements hold them) and escaped here once, as attribute values, with blanks,
// double quotes and "%" in an href also percent-encoded so that the link stays one URL that
// decodes to the text given.
//
// Pictures reach writeImage through HtmlPictureSource, so the exporter needs no GUI toolkit.
// Qt-free; not shared between threads.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/base/FilePath.h"
#include "util/KNameMaker.h"
#include "util/KString.h"

class CharStyle;
class ParaStyle;

// A picture as pixels.
class HtmlPictureSource {
public:
    virtual ~HtmlPictureSource() = default;
    // Makes the pixels ready; false when the picture cannot render itself as a bitmap.
    virtual bool renderPixels() { return true; }
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    // 0x00RRGGBB of the pixel, 0 <= x < width, 0 <= y < height.
    virtual std::uint32_t pixelColor(int x, int y) const = 0;
};

// Writes the picture as a BMP file into the stream (image format 1); filled by the layer that
// owns picture streams.  Until then null: format 1 writes nothing and fails.
using HtmlBmpWriter = bool (*)(std::ostream& stream, HtmlPictureSource& picture);
extern HtmlBmpWriter write_bmp;

// The picture's pixels as GIF bytes into the stream, with the GIF writer's flags (a picture, an
// animation frame or a palette pass).  False when the writer or the stream fails.
bool write_picture_gif(std::ostream& stream, HtmlPictureSource& picture, unsigned flags);

class HtmlExporter {
public:
    enum ImageFormat : int { IMAGE_GIF = 0, IMAGE_BMP = 1 };
    // The GIF writer's flags of writeImage (animation frames).
    enum ImageFlags : unsigned { IMAGE_FIRST = 0x01, IMAGE_LAST = 0x02, IMAGE_PALETTE = 0x04, IMAGE_ANIMATION = 0x80 };

    // The export file's path: its folder is the export directory, its name the makers' stem.
    explicit HtmlExporter(const FilePath& exportPath);
    ~HtmlExporter();
    HtmlExporter(const HtmlExporter&) = delete;
    HtmlExporter& operator=(const HtmlExporter&) = delete;

    // ---- text and markup of the top file -------------------------------------------------
    void writeRaw(const char* text);
    void write(const char* text) { writeRaw(text); }
    void newLine() { writeRaw("\n"); }
    // Newline as "<br>" and a newline; "&", "<", ">" as entities; other bytes below 32 and 127
    // as "&#n;"; everything else as it is.
    void writeText(const char* text);
    void writeText(const char* text, std::size_t length);
    void writeInt(int n);
    void writeAnchor(const char* name);
    // href and target raw; the target null for the default "Content".
    void beginLink(const char* href, const char* target = nullptr);
    void endLink() { writeRaw("</a>"); }
    void beginComment() { writeRaw("<!-- "); }
    void endComment() { writeRaw(" -->\n"); }
    void beginParagraph(const ParaStyle* style);
    void endParagraph() { writeRaw("</p>\n"); }
    void beginParagraphContent() { writeRaw("\n"); }
    void endParagraphContent() {}
    void beginCharStyle(const CharStyle* style);
    void endCharStyle(const CharStyle* style);

    // ---- pictures ------------------------------------------------------------------------------
    // The picture as a new image file (or the next frame of an open animation) and its <img>
    // once the file is complete.  False, with no <img> written and the image file closed, when
    // the file cannot be made, the picture cannot render or the writer fails.
    bool writeImage(HtmlPictureSource& picture, const char* alt, bool alignMiddle, unsigned flags);
    // A palette pass of an animation: the picture's colours join the animation's palette;
    // nothing is written.
    bool writePlotImage(HtmlPictureSource& picture, unsigned flags);

    // ---- files ---------------------------------------------------------------------------------
    // Opens the next name of the image maker (image) or the main maker with the text (or the
    // next number without one) and pushes it.  False when it cannot be opened.
    bool openFile(const char* text, bool image);
    // Opens a page under a name given (a section's recorded page name) and pushes it.
    bool openNamedFile(const KString& name);
    void closeFile();
    void closeAll();
    std::size_t depth() const { return files_.size(); }
    // The name of the top file ("" with none open).
    const KString& currentFileName() const;

    // Page head and tail; the frameset form writes no body.
    void beginDocument(bool frameset);
    void endDocument(bool frameset);
    // The frameset file's body between head and tail.
    void writeFrameset();

    // ---- names and settings --------------------------------------------------------------
    KNameMaker& mainNames() { return mainNames_; }
    KNameMaker& imageNames() { return imageNames_; }
    KNameMaker& bookmarkNames() { return bookmarkNames_; }
    const FilePath& exportDirectory() const { return directory_; }
    // The export file's own name (doc.html).
    KString exportFileName() const;
    KString contentFileName;
    int imageFormat() const { return imageFormat_; }
    // GIF (the driver's choice) or BMP; sets the image maker's suffix.
    void setImageFormat(int format);
    // Whether the export writes a frameset: the content file then has the first numbered name.
    bool frames = false;
    // The document's title, the root's entry in the table of contents.
    KString documentTitle;
    // Set when a file of the walk could not be made; the driver then fails the export.
    bool failed = false;

    // Escapes a text for an attribute value; for an href also blanks, double quotes and "%".
    static std::string attributeValue(const char* text, bool href);

private:
    struct OpenFile {
        std::unique_ptr<std::ofstream> stream;
        KString name;
    };
    bool push(const KString& name);
    std::ostream* top();

    std::vector<OpenFile> files_;
    KNameMaker mainNames_;
    KNameMaker imageNames_;
    KNameMaker bookmarkNames_;
    FilePath directory_;
    KString stem_;
    KString extension_;
    KString imagePrefix_;
    int imageFormat_ = IMAGE_GIF;
    bool animationOpen_ = false;  // an animation's image file is on top, waiting for frames
};
