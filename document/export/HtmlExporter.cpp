// HtmlExporter: files, names, escaping, character markup and pictures.

#include "document/export/HtmlExporter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "document/styles/CharStyle.h"
#include "image/GifWriter.h"

HtmlBmpWriter write_bmp = nullptr;

namespace {

// The size of the font markup: 1 + the index of the first threshold at least the ratio of the
// size to 12 points, 7 past them all.
int htmlFontSize(int points) {
    static const double thresholds[] = {0.8, 0.9, 1.1, 1.2, 1.5, 2.0};
    double ratio = points / 12.0;
    for (int i = 0; i < 6; ++i)
        if (thresholds[i] >= ratio) return i + 1;
    return 7;
}

int stylePoints(const CharStyle& style) {
    return style.sizeMode == 2 ? relativeSize(12, style.size) : style.size;
}

// Lines of this mode keep their breaks and spacing: written preformatted.
bool isFixedLines(const CharStyle* style) { return style && style->lineBreak == 3; }

uint32_t pixelOf(void* source, int x, int y) { return static_cast<HtmlPictureSource*>(source)->pixelColor(x, y); }

}  // namespace

bool write_picture_gif(std::ostream& stream, HtmlPictureSource& picture, unsigned flags) {
    GifByteSink sink = [&stream](std::uint8_t byte) { return static_cast<bool>(stream.put(static_cast<char>(byte))); };
    return gif_write(sink, &pixelOf, &picture, nullptr, picture.pixelHeight(), picture.pixelWidth(), flags) ==
           GifStatus::ok;
}

HtmlExporter::HtmlExporter(const FilePath& exportPath) : directory_(exportPath) {
    String name = directory_.cutName();
    std::string file = name.c_str();
    size_t dot = file.rfind('.');
    stem_.assign(file.substr(0, dot).c_str());
    extension_.assign(dot == std::string::npos ? "" : file.substr(dot).c_str());
    mainNames_.set(stem_.text(), extension_.text(), 0);
    bookmarkNames_.set("KelvoAutoBookmark", "", 0);
    // Pictures go to the "images" folder when it is there or can be made.
    FilePath images = directory_;
    images += FilePath(String("images"));
    std::string imagesPath = images.toNative();
    struct stat st {};
    bool folder = (::mkdir(imagesPath.c_str(), 0777) == 0 || errno == EEXIST) && ::stat(imagesPath.c_str(), &st) == 0 &&
                  S_ISDIR(st.st_mode);
    imagePrefix_.assign(folder ? "images/" : "");
    imagePrefix_.appendString(stem_);
    setImageFormat(IMAGE_GIF);
}

void HtmlExporter::setImageFormat(int format) {
    imageFormat_ = format;
    imageNames_.set(imagePrefix_.text(), format == IMAGE_BMP ? ".bmp" : ".gif", 0);
}

HtmlExporter::~HtmlExporter() { closeAll(); }

KString HtmlExporter::exportFileName() const {
    KString name(stem_);
    name.appendString(extension_);
    return name;
}

// ---- files ----------------------------------------------------------------------------------

bool HtmlExporter::push(const KString& name) {
    FilePath path = directory_;
    path += FilePath(String(name.text()));
    if (path.hasError()) return false;
    auto stream = std::make_unique<std::ofstream>(path.toNative(), std::ios::binary | std::ios::trunc);
    if (!stream->is_open()) return false;
    files_.push_back(OpenFile{std::move(stream), name});
    return true;
}

bool HtmlExporter::openFile(const char* text, bool image) {
    KString name;
    (image ? imageNames_ : mainNames_).next(name, text);
    return push(name);
}

bool HtmlExporter::openNamedFile(const KString& name) { return push(name); }

void HtmlExporter::closeFile() {
    if (files_.empty()) return;
    animationOpen_ = false;
    files_.back().stream->close();
    if (files_.back().stream->fail()) failed = true;  // a write or the close failed
    files_.pop_back();
}

void HtmlExporter::closeAll() {
    while (!files_.empty()) closeFile();
}

const KString& HtmlExporter::currentFileName() const {
    static const KString none;
    return files_.empty() ? none : files_.back().name;
}

std::ostream* HtmlExporter::top() { return files_.empty() ? nullptr : files_.back().stream.get(); }

// ---- text and markup --------------------------------------------------------------------------

void HtmlExporter::writeRaw(const char* text) {
    if (std::ostream* out = top(); out && text) *out << text;
}

void HtmlExporter::writeText(const char* text) {
    if (text) writeText(text, std::strlen(text));
}

void HtmlExporter::writeText(const char* text, std::size_t length) {
    std::ostream* out = top();
    if (!out || !text) return;
    std::string escaped;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\n': escaped += "<br>\n"; break;
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                escaped += "&#" + std::to_string(c) + ";";
            } else {
                escaped += static_cast<char>(c);
            }
        }
    }
    *out << escaped;
}

void HtmlExporter::writeInt(int n) { writeRaw(std::to_string(n).c_str()); }

std::string HtmlExporter::attributeValue(const char* text, bool href) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        char c = *p;
        if (href && (c == ' ' || c == '"' || c == '%')) {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
            out += code;
            continue;
        }
        switch (c) {
        case '"': out += "&quot;"; break;
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

void HtmlExporter::writeAnchor(const char* name) {
    writeRaw("<a name=\"");
    writeRaw(attributeValue(name, false).c_str());
    writeRaw("\">");
}

void HtmlExporter::beginLink(const char* href, const char* target) {
    writeRaw("<a href=\"");
    writeRaw(attributeValue(href, true).c_str());
    writeRaw("\" target=\"");
    writeRaw(attributeValue(target ? target : "Content", false).c_str());
    writeRaw("\">");
}

void HtmlExporter::beginParagraph(const ParaStyle* style) {
    writeRaw("<p");
    if (style) {
        switch (style->justification) {
        case 1: writeRaw(" align=left"); break;
        case 2: writeRaw(" align=right"); break;
        case 3: writeRaw(" align=center"); break;
        default: break;
        }
    }
    writeRaw(">");
}

void HtmlExporter::beginCharStyle(const CharStyle* style) {
    if (style) {
        if (style->italic == 1) writeRaw("<i>");
        if (style->bold == 1) writeRaw("<b>");
        if (style->underline == 1) writeRaw("<u>");
        if (isFixedLines(style)) writeRaw("<tt><pre>");
    }
    writeRaw("<font");
    if (style && style->colourDefined) {
        char colour[16];
        std::snprintf(colour, sizeof colour, " color=#%02X%02X%02X", style->color.red, style->color.green,
                      style->color.blue);
        writeRaw(colour);
    }
    int size = style && style->sizeMode != 0 ? htmlFontSize(stylePoints(*style)) : 3;
    if (size != 3) {
        writeRaw(" size=");
        writeInt(size);
    }
    writeRaw(">");
}

void HtmlExporter::endCharStyle(const CharStyle* style) {
    writeRaw("</font>");
    if (style) {
        if (isFixedLines(style)) writeRaw("</pre></tt>");
        if (style->underline == 1) writeRaw("</u>");
        if (style->bold == 1) writeRaw("</b>");
        if (style->italic == 1) writeRaw("</i>");
    }
    newLine();
}

// ---- pages ----------------------------------------------------------------------------------

void HtmlExporter::beginDocument(bool frameset) {
    writeRaw("<html>\n<head>\n<title>");
    KString title;
    mainNames_.make(title, "");
    writeText(title.text());
    writeRaw("</title>\n");
    beginComment();
    writeRaw("Created by Kelvo V Release 5, IBM INTEL NT");
    endComment();
    writeRaw("</head>\n");
    if (!frameset) writeRaw("<body bgcolor=\"FFFFFF\">\n");
}

void HtmlExporter::endDocument(bool frameset) {
    if (!frameset) writeRaw("</body>\n");
    writeRaw("</html>\n");
}

void HtmlExporter::writeFrameset() {
    KString toc;
    mainNames_.make(toc, "TOC");
    writeRaw("<frameset cols=\"25%,*\">\n");
    writeRaw("  <frame src=\"");
    writeRaw(attributeValue(toc.text(), true).c_str());
    writeRaw("\" name=\"TableOfContents\">\n");
    writeRaw("  <frame src=\"");
    writeRaw(attributeValue(contentFileName.text(), true).c_str());
    writeRaw("\" name=\"Content\">\n");
    writeRaw("<noframes>\n");
    writeRaw("Sorry, this document requires that your browser support frames. \n");
    beginLink(contentFileName.text(), nullptr);
    writeRaw("This link");
    endLink();
    writeRaw("\n");
    writeRaw("will take you to a non-frames presentation of the document.\n");
    writeRaw("</noframes>\n");
    writeRaw("</frameset>\n");
}

// ---- pictures --------------------------------------------------------------------------------

bool HtmlExporter::writeImage(HtmlPictureSource& picture, const char* alt, bool alignMiddle, unsigned flags) {
    bool animation = (flags & IMAGE_ANIMATION) != 0;
    bool first = !animation || (flags & IMAGE_FIRST);
    bool last = !animation || (flags & IMAGE_LAST);
    if (first) {
        if (animationOpen_) return false;  // the open animation was never finished
        if (!openFile(nullptr, true)) return false;
    } else if (!animationOpen_) {
        return false;  // a later frame without its open image file
    }
    animationOpen_ = false;
    std::ostream* out = top();
    bool written = false;
    if (picture.renderPixels()) {
        if (imageFormat_ == IMAGE_BMP) {
            written = write_bmp && write_bmp(*out, picture);
        } else {
            written = write_picture_gif(*out, picture, flags & (IMAGE_FIRST | IMAGE_LAST | IMAGE_ANIMATION));
        }
    }
    if (written && !last) {
        out->flush();
        if (out->good()) {
            animationOpen_ = true;  // the file stays open for the next frame
            return true;
        }
        written = false;
    }
    KString name = currentFileName();
    files_.back().stream->close();
    written = written && !files_.back().stream->fail();
    files_.pop_back();
    if (!written) return false;
    writeRaw("<img src=\"");
    writeRaw(attributeValue(name.text(), true).c_str());
    writeRaw("\" width=");
    writeInt(picture.pixelWidth());
    writeRaw(" height=");
    writeInt(picture.pixelHeight());
    if (alt) {
        writeRaw(" alt=\"");
        writeRaw(attributeValue(alt, false).c_str());
        writeRaw("\"");
    }
    if (alignMiddle) writeRaw(" align=middle");
    writeRaw(">\n");
    return true;
}

bool HtmlExporter::writePlotImage(HtmlPictureSource& picture, unsigned flags) {
    if (!picture.renderPixels()) return false;
    // A palette pass writes no byte.
    std::ostringstream none;
    return write_picture_gif(none, picture, flags | IMAGE_PALETTE);
}
