#pragma once
// Font: the description of a font as the program passes it around.  Every attribute is kept and
// passed on unchanged; the device turns the description into a real font (face mapping, height
// in logic units to pixels).  Equal descriptions hash equally.
//
// Qt-free.

#include <cstddef>
#include <cstdint>

#include "platform/gui/base/Color.h"
#include "platform/gui/base/String.h"
#include "platform/gui/base/geometry.h"

enum FontWeight : int { WEIGHT_DONTKNOW = 0, WEIGHT_NORMAL = 2, WEIGHT_BOLD = 3 };
enum FontCharSet : int {
    CHARSET_DONTKNOW = 0, CHARSET_ANSI = 1, CHARSET_MAC = 2, CHARSET_IBMPC = 3,
    CHARSET_SYSTEM = 9, CHARSET_SYMBOL = 10, CHARSET_SHIFTJIS = 11,
};
enum FontFamily : int { FAMILY_DONTKNOW = 0, FAMILY_ROMAN = 3, FAMILY_SWISS = 5 };
enum FontPitch : int { PITCH_DONTKNOW = 0, PITCH_FIXED = 1, PITCH_VARIABLE = 2 };
enum FontAlign : int { ALIGN_TOP = 0, ALIGN_BASELINE = 1, ALIGN_BOTTOM = 2 };

class Font {
public:
    Font() = default;
    Font(const String& name, const Size& size) : name_(name), size_(size) {}

    void setName(const String& n) { name_ = n; }
    const String& getName() const { return name_; }
    // Width (0 = the face's own) and height in logic units of the device that draws it.
    void setSize(const Size& s) { size_ = s; }
    const Size& getSize() const { return size_; }
    void setWeight(int w) { weight_ = w; }
    int getWeight() const { return weight_; }
    void setItalic(bool on) { italic_ = on; }
    bool isItalic() const { return italic_; }
    void setUnderline(bool on) { underline_ = on; }
    bool isUnderline() const { return underline_; }
    void setCharSet(int c) { charSet_ = c; }
    int getCharSet() const { return charSet_; }
    void setFamily(int f) { family_ = f; }
    int getFamily() const { return family_; }
    void setPitch(int p) { pitch_ = p; }
    int getPitch() const { return pitch_; }
    // Which point of the text line a drawing position names: 0 its top.
    void setAlign(int a) { align_ = a; }
    int getAlign() const { return align_; }
    void setTransparent(bool on) { transparent_ = on; }
    bool isTransparent() const { return transparent_; }
    void setColor(const Color& c) { color_ = c; }
    const Color& getColor() const { return color_; }
    void setFillColor(const Color& c) { fillColor_ = c; }
    const Color& getFillColor() const { return fillColor_; }

    bool operator==(const Font& o) const {
        return name_ == o.name_ && size_ == o.size_ && weight_ == o.weight_ && italic_ == o.italic_ &&
               underline_ == o.underline_ && charSet_ == o.charSet_ && family_ == o.family_ &&
               pitch_ == o.pitch_ && align_ == o.align_ && transparent_ == o.transparent_ &&
               color_ == o.color_ && fillColor_ == o.fillColor_;
    }
    std::size_t hash() const;

private:
    String name_;
    Size size_;
    int weight_ = WEIGHT_NORMAL;
    bool italic_ = false;
    bool underline_ = false;
    int charSet_ = CHARSET_ANSI;
    int family_ = FAMILY_DONTKNOW;
    int pitch_ = PITCH_DONTKNOW;
    int align_ = ALIGN_TOP;
    bool transparent_ = true;
    Color color_;
    Color fillColor_{COL_WHITE};
};

struct FontHash {
    std::size_t operator()(const Font& f) const { return f.hash(); }
};
