#pragma once
// The list, number and image controls of dialogs: ComboBox, ListBox, MetricField, NumericField,
// FixedIcon and FixedBitmap.  Like the controls of Dialog.h they are bound to a dialog by class
// and local id after the dialog was built from its resource.
//
// Entry positions are 16-bit; LISTBOX_APPEND inserts at the end and LISTBOX_ENTRY_NOTFOUND
// answers "no such entry" or "nothing selected".  Handlers run only for what the user does (or
// the test script does in the user's place), never for the program's own select or set calls.
//
// ComboBox: an editable box.  The select handler runs for a final selection (an entry chosen)
// and for a transient one (keyboard travel through the open list); isTravelSelect tells them
// apart while the handler runs.  Clearing the entries leaves the text as it was.
//
// MetricField: a value in a unit with decimal digits, limits and a spin step, shown as text
// ("12 pt", "6.00\"").  Values are integers scaled by 10^decimals in the field's unit
// (FUNIT_POINT = 6, ...); setValue and getValue convert from and to another unit.  The text is
// the user's: it may hold anything ("*", "+12"); when the field reformats (Return, focus loss,
// a spin), the virtual reformat runs, whose default (reformatValue) reads the text as a value,
// keeps it within the limits and writes it back in the field's format.  A text that is no value
// leaves the previous value.  getValue reads the current text when it is a value.

#include <cstdint>
#include <string>

#include "platform/gui/Bitmap.h"
#include "platform/gui/Dialog.h"

constexpr uint16_t LISTBOX_APPEND = 0xFFFF;
constexpr uint16_t LISTBOX_ENTRY_NOTFOUND = 0xFFFF;

// Field units; FUNIT_FIELD in a call means the field's own unit.
enum FieldUnit : int {
    FUNIT_FIELD = -1,
    FUNIT_NONE = 0, FUNIT_MM = 1, FUNIT_CM = 2, FUNIT_M = 3, FUNIT_KM = 4, FUNIT_TWIP = 5,
    FUNIT_POINT = 6, FUNIT_PICA = 7, FUNIT_INCH = 8, FUNIT_FOOT = 9, FUNIT_MILE = 10,
};

class ComboBox : public Control {
public:
    ComboBox(Dialog* d, const ResId& id);
    uint16_t insertEntry(const String& text, uint16_t pos = LISTBOX_APPEND);
    void removeEntry(uint16_t pos);
    // Removes every entry; the text stays.
    void clear();
    uint16_t getEntryCount() const;
    String getEntry(uint16_t pos) const;
    uint16_t getEntryPos(const String& text) const;
    void setSelectHdl(const Link& l) { select_ = l; }
    void setModifyHdl(const Link& l) { modify_ = l; }
    // True while the select handler runs for a transient selection.
    bool isTravelSelect() const { return travel_; }

private:
    Link select_, modify_;
    bool travel_ = false;
    bool quiet_ = false;
};

class ListBox : public Control {
public:
    ListBox(Dialog* d, const ResId& id);
    uint16_t insertEntry(const String& text, uint16_t pos = LISTBOX_APPEND);
    uint16_t insertEntry(const String& text, const Bitmap& image, uint16_t pos = LISTBOX_APPEND);
    void removeEntry(uint16_t pos);
    void clear();
    uint16_t getEntryCount() const;
    String getEntry(uint16_t pos) const;
    // The entry's image (empty when it has none).
    Bitmap getEntryImage(uint16_t pos) const;
    uint16_t getEntryPos(const String& text) const;
    uint16_t getSelectEntryPos() const;
    String getSelectEntry() const;
    void selectEntryPos(uint16_t pos, bool select = true);
    void selectEntry(const String& text, bool select = true);
    void setNoSelection();
    void setSelectHdl(const Link& l) { select_ = l; }
    void setDoubleClickHdl(const Link& l) { doubleClick_ = l; }

private:
    Link select_, doubleClick_;
    bool quiet_ = false;
};

class MetricField : public Control {
public:
    MetricField(Dialog* d, const ResId& id);
    ~MetricField() override;

    void setUnit(int unit);
    int getUnit() const { return unit_; }
    void setDecimalDigits(int digits);  // 0..6
    int getDecimalDigits() const { return decimals_; }
    // Limits and spin step in the field's unit, scaled by its decimals.
    void setMin(long long v);
    void setMax(long long v);
    long long getMin() const { return min_; }
    long long getMax() const { return max_; }
    void setSpinSize(long long step) { spin_ = step; }
    long long getSpinSize() const { return spin_; }

    // Sets the value (kept within the limits) and writes it as the text.
    void setValue(long long v, int unit = FUNIT_FIELD);
    long long getValue(int unit = FUNIT_FIELD) const;
    // One spin step up or down, then reformat and the modify handler.
    void up();
    void down();
    void setModifyHdl(const Link& l) { modify_ = l; }

    // Runs whenever the field reformats its text; the default is reformatValue.
    virtual void reformat();
    // Reads the text as a value (the previous one when it is none) and writes it back formatted.
    void reformatValue();

    // Text <-> value in the field's format; parse accepts a sign ("+12", "-3"), decimals and a
    // unit suffix ("mm", "cm", "pt", "pi", "twip", "in" or "\"", ...), converted to `unit`.
    static bool parse(const String& text, int unit, int decimals, long long& value);
    static String format(long long value, int unit, int decimals);
    // Converts a value between units (same decimal scaling), rounded to the nearest integer.
    static long long convert(long long value, int from, int to);

private:
    long long clampValue(long long v) const;
    int unit_ = FUNIT_NONE;
    int decimals_ = 0;
    long long min_ = 0, max_ = 0x7fffffff, spin_ = 1;
    long long value_ = 0;
    Link modify_;
};

class NumericField : public Control {
public:
    NumericField(Dialog* d, const ResId& id);
    void setValue(long v);
    long getValue() const;
    void setMin(long v);
    void setMax(long v);
    void setSpinSize(long step);
    void setModifyHdl(const Link& l) { modify_ = l; }

private:
    Link modify_;
    bool quiet_ = false;
};

// A picture in a dialog.  The resource text of a FixedIcon or FixedBitmap is the id of its
// image ("1000"); an unknown id shows nothing.
class FixedBitmap : public Control {
public:
    FixedBitmap(Dialog* d, const ResId& id) : Control(d, "FixedBitmap", id) {}
    void setBitmap(const Bitmap& b);
    Bitmap getBitmap() const;

protected:
    FixedBitmap(Dialog* d, const char* cls, const ResId& id) : Control(d, cls, id) {}
};

class FixedIcon : public FixedBitmap {
public:
    FixedIcon(Dialog* d, const ResId& id) : FixedBitmap(d, "FixedIcon", id) {}
    void setIcon(const Icon& i) { setBitmap(i.getImage()); }
};

namespace gui {
// Builds the widget of a control class this file owns, or null for another class.
QWidget* makeListControl(const std::string& cls, const String& text, QWidget* parent);
}  // namespace gui
