// List, number and image controls of dialogs (rules in Dialog_controls.h).
#include "platform/gui/Dialog_controls.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QSpinBox>
#include <QToolButton>

#include <cstdlib>

#include "platform/gui/Application.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/qt_text.h"

namespace {

// The line edit of a MetricField: the text is the user's, the two spin buttons sit inside
// its right edge.
class MetricEdit : public QLineEdit {
public:
    explicit MetricEdit(QWidget* parent) : QLineEdit(parent) {
        upButton = new QToolButton(this);
        downButton = new QToolButton(this);
        upButton->setArrowType(Qt::UpArrow);
        downButton->setArrowType(Qt::DownArrow);
        for (QToolButton* b : {upButton, downButton}) {
            b->setFocusPolicy(Qt::NoFocus);
            b->setAutoRepeat(true);
        }
    }
    QToolButton* upButton;
    QToolButton* downButton;

protected:
    void resizeEvent(QResizeEvent* e) override {
        QLineEdit::resizeEvent(e);
        const int w = std::max(8, height() * 2 / 3), h = height() / 2;
        upButton->setGeometry(width() - w, 0, w, h);
        downButton->setGeometry(width() - w, h, w, height() - h);
        setTextMargins(0, 0, w, 0);
    }
};

uint16_t toPos(int row) { return row < 0 || row >= 0xFFFF ? LISTBOX_ENTRY_NOTFOUND : static_cast<uint16_t>(row); }

// Insert position: LISTBOX_APPEND or anything past the end appends.
int insertRow(uint16_t pos, int count) { return pos == LISTBOX_APPEND || pos > count ? count : pos; }

Bitmap imageOfId(const String& text) {
    if (!text.isAllDigits() || text.isEmpty()) return Bitmap();
    return gui::findImage(std::atoi(text.c_str()));
}

// Units per inch of each field unit as a fraction (none: no conversion).
struct PerInch {
    long long num, den;
};
PerInch perInch(int unit) {
    switch (unit) {
    case FUNIT_MM: return {254, 10};
    case FUNIT_CM: return {254, 100};
    case FUNIT_M: return {254, 10000};
    case FUNIT_KM: return {254, 10000000};
    case FUNIT_TWIP: return {1440, 1};
    case FUNIT_POINT: return {72, 1};
    case FUNIT_PICA: return {6, 1};
    case FUNIT_INCH: return {1, 1};
    case FUNIT_FOOT: return {1, 12};
    case FUNIT_MILE: return {1, 63360};
    default: return {0, 0};
    }
}

struct Suffix {
    const char* text;
    int unit;
};
// Accepted on input; the first of each unit is the one written.
constexpr Suffix kSuffixes[] = {
    {"mm", FUNIT_MM}, {"cm", FUNIT_CM}, {"km", FUNIT_KM}, {"m", FUNIT_M}, {"twips", FUNIT_TWIP},
    {"twip", FUNIT_TWIP}, {"pt", FUNIT_POINT}, {"pi", FUNIT_PICA}, {"\"", FUNIT_INCH}, {"in", FUNIT_INCH},
    {"ft", FUNIT_FOOT}, {"'", FUNIT_FOOT}, {"mi", FUNIT_MILE},
};

const char* suffixOf(int unit) {
    switch (unit) {
    case FUNIT_MM: return " mm";
    case FUNIT_CM: return " cm";
    case FUNIT_M: return " m";
    case FUNIT_KM: return " km";
    case FUNIT_TWIP: return " twip";
    case FUNIT_POINT: return " pt";
    case FUNIT_PICA: return " pi";
    case FUNIT_INCH: return "\"";
    case FUNIT_FOOT: return "'";
    case FUNIT_MILE: return " mi";
    default: return "";
    }
}

constexpr long long kValueLimit = 1000000000000LL;  // keeps every conversion inside 64 bits

}  // namespace

// ---- ComboBox ----

ComboBox::ComboBox(Dialog* d, const ResId& id) : Control(d, "ComboBox", id) {
    auto* cb = static_cast<QComboBox*>(widget_);
    auto run = [this](bool travel) {
        if (quiet_) return;
        Link l = select_;
        travel_ = travel;
        gui::guardedCall([&] { l.call(this); });
        travel_ = false;
    };
    QObject::connect(cb, &QComboBox::activated, cb, [run](int) { run(false); });
    QObject::connect(cb, &QComboBox::highlighted, cb, [run](int) { run(true); });
    QObject::connect(cb, &QComboBox::editTextChanged, cb, [this] {
        if (quiet_) return;
        Link l = modify_;
        gui::guardedCall([&] { l.call(this); });
    });
}

uint16_t ComboBox::insertEntry(const String& text, uint16_t pos) {
    auto* cb = static_cast<QComboBox*>(widget_);
    if (cb->count() >= 0xFFFE) return LISTBOX_ENTRY_NOTFOUND;
    const int row = insertRow(pos, cb->count());
    quiet_ = true;
    const QString keep = cb->currentText();
    cb->insertItem(row, gui::toQString(text));
    cb->setEditText(keep);
    quiet_ = false;
    return static_cast<uint16_t>(row);
}

void ComboBox::removeEntry(uint16_t pos) {
    auto* cb = static_cast<QComboBox*>(widget_);
    if (pos >= cb->count()) return;
    quiet_ = true;
    const QString keep = cb->currentText();
    cb->removeItem(pos);
    cb->setEditText(keep);
    quiet_ = false;
}

void ComboBox::clear() {
    auto* cb = static_cast<QComboBox*>(widget_);
    quiet_ = true;
    const QString keep = cb->currentText();
    cb->clear();
    cb->setEditText(keep);
    quiet_ = false;
}

uint16_t ComboBox::getEntryCount() const { return toPos(static_cast<QComboBox*>(widget_)->count()); }
String ComboBox::getEntry(uint16_t pos) const {
    auto* cb = static_cast<QComboBox*>(widget_);
    return pos < cb->count() ? gui::fromQString(cb->itemText(pos)) : String();
}
uint16_t ComboBox::getEntryPos(const String& text) const {
    return toPos(static_cast<QComboBox*>(widget_)->findText(gui::toQString(text), Qt::MatchExactly));
}

// ---- ListBox ----

ListBox::ListBox(Dialog* d, const ResId& id) : Control(d, "ListBox", id) {
    auto* lw = static_cast<QListWidget*>(widget_);
    QObject::connect(lw, &QListWidget::currentRowChanged, lw, [this](int) {
        if (quiet_) return;
        Link l = select_;
        gui::guardedCall([&] { l.call(this); });
    });
    QObject::connect(lw, &QListWidget::itemDoubleClicked, lw, [this](QListWidgetItem*) {
        Link l = doubleClick_;
        gui::guardedCall([&] { l.call(this); });
    });
}

uint16_t ListBox::insertEntry(const String& text, uint16_t pos) { return insertEntry(text, Bitmap(), pos); }

uint16_t ListBox::insertEntry(const String& text, const Bitmap& image, uint16_t pos) {
    auto* lw = static_cast<QListWidget*>(widget_);
    if (lw->count() >= 0xFFFE) return LISTBOX_ENTRY_NOTFOUND;
    const int row = insertRow(pos, lw->count());
    auto* item = new QListWidgetItem(gui::toQString(text));
    if (!image.isEmpty()) {
        const QImage& img = gui::bitmapImage(image);
        item->setData(Qt::UserRole, QVariant::fromValue(img));
        item->setData(Qt::UserRole + 1, image.getBitCount());
        item->setIcon(QIcon(QPixmap::fromImage(img)));
        QSize s = lw->iconSize().expandedTo(img.size());
        lw->setIconSize(s);
    }
    quiet_ = true;
    lw->insertItem(row, item);
    quiet_ = false;
    return static_cast<uint16_t>(row);
}

void ListBox::removeEntry(uint16_t pos) {
    auto* lw = static_cast<QListWidget*>(widget_);
    if (pos >= lw->count()) return;
    quiet_ = true;
    delete lw->takeItem(pos);
    quiet_ = false;
}

void ListBox::clear() {
    quiet_ = true;
    static_cast<QListWidget*>(widget_)->clear();
    quiet_ = false;
}

uint16_t ListBox::getEntryCount() const { return toPos(static_cast<QListWidget*>(widget_)->count()); }

String ListBox::getEntry(uint16_t pos) const {
    auto* lw = static_cast<QListWidget*>(widget_);
    return pos < lw->count() ? gui::fromQString(lw->item(pos)->text()) : String();
}

Bitmap ListBox::getEntryImage(uint16_t pos) const {
    auto* lw = static_cast<QListWidget*>(widget_);
    if (pos >= lw->count()) return Bitmap();
    QVariant v = lw->item(pos)->data(Qt::UserRole);
    if (!v.isValid()) return Bitmap();
    return gui::makeBitmap(v.value<QImage>(), lw->item(pos)->data(Qt::UserRole + 1).toInt());
}

uint16_t ListBox::getEntryPos(const String& text) const {
    auto* lw = static_cast<QListWidget*>(widget_);
    const QString t = gui::toQString(text);
    for (int i = 0; i < lw->count(); ++i)
        if (lw->item(i)->text() == t) return toPos(i);
    return LISTBOX_ENTRY_NOTFOUND;
}

uint16_t ListBox::getSelectEntryPos() const {
    auto* lw = static_cast<QListWidget*>(widget_);
    QListWidgetItem* cur = lw->currentItem();
    return cur && cur->isSelected() ? toPos(lw->row(cur)) : LISTBOX_ENTRY_NOTFOUND;
}

String ListBox::getSelectEntry() const {
    uint16_t p = getSelectEntryPos();
    return p == LISTBOX_ENTRY_NOTFOUND ? String() : getEntry(p);
}

void ListBox::selectEntryPos(uint16_t pos, bool select) {
    auto* lw = static_cast<QListWidget*>(widget_);
    if (pos >= lw->count()) return;
    quiet_ = true;
    if (select) {
        lw->setCurrentRow(pos);
        lw->item(pos)->setSelected(true);
        lw->scrollToItem(lw->item(pos));
    } else {
        lw->item(pos)->setSelected(false);
    }
    quiet_ = false;
}

void ListBox::selectEntry(const String& text, bool select) {
    uint16_t p = getEntryPos(text);
    if (p != LISTBOX_ENTRY_NOTFOUND) selectEntryPos(p, select);
}

void ListBox::setNoSelection() {
    auto* lw = static_cast<QListWidget*>(widget_);
    quiet_ = true;
    lw->clearSelection();
    lw->setCurrentRow(-1);
    quiet_ = false;
}

// ---- MetricField ----

MetricField::MetricField(Dialog* d, const ResId& id) : Control(d, "MetricField", id) {
    auto* e = static_cast<MetricEdit*>(widget_);
    QObject::connect(e->upButton, &QToolButton::clicked, e, [this] { gui::guardedCall([this] { up(); }); });
    QObject::connect(e->downButton, &QToolButton::clicked, e, [this] { gui::guardedCall([this] { down(); }); });
    QObject::connect(e, &QLineEdit::editingFinished, e, [this] { gui::guardedCall([this] { reformat(); }); });
    QObject::connect(e, &QLineEdit::textEdited, e, [this] {
        Link l = modify_;
        gui::guardedCall([&] { l.call(this); });
    });
    setText(format(value_, unit_, decimals_));
}

MetricField::~MetricField() = default;

void MetricField::setUnit(int unit) {
    unit_ = perInch(unit).num || unit == FUNIT_NONE ? unit : FUNIT_NONE;
    setText(format(value_, unit_, decimals_));
}

void MetricField::setDecimalDigits(int digits) {
    decimals_ = std::clamp(digits, 0, 6);
    setText(format(value_, unit_, decimals_));
}

void MetricField::setMin(long long v) {
    min_ = std::clamp(v, -kValueLimit, kValueLimit);
    if (max_ < min_) max_ = min_;
    value_ = clampValue(value_);
}

void MetricField::setMax(long long v) {
    max_ = std::clamp(v, -kValueLimit, kValueLimit);
    if (min_ > max_) min_ = max_;
    value_ = clampValue(value_);
}

long long MetricField::clampValue(long long v) const { return std::clamp(v, min_, max_); }

void MetricField::setValue(long long v, int unit) {
    value_ = clampValue(unit == FUNIT_FIELD ? v : convert(v, unit, unit_));
    setText(format(value_, unit_, decimals_));
}

long long MetricField::getValue(int unit) const {
    long long v = value_;
    long long typed = 0;
    if (parse(getText(), unit_, decimals_, typed)) v = clampValue(typed);
    return unit == FUNIT_FIELD ? v : convert(v, unit_, unit);
}

void MetricField::up() {
    value_ = clampValue(getValue() + spin_);
    setText(format(value_, unit_, decimals_));
    reformat();
    Link l = modify_;
    l.call(this);
}

void MetricField::down() {
    value_ = clampValue(getValue() - spin_);
    setText(format(value_, unit_, decimals_));
    reformat();
    Link l = modify_;
    l.call(this);
}

void MetricField::reformat() { reformatValue(); }

void MetricField::reformatValue() {
    long long v = 0;
    if (parse(getText(), unit_, decimals_, v)) value_ = clampValue(v);
    setText(format(value_, unit_, decimals_));
}

long long MetricField::convert(long long value, int from, int to) {
    if (from == to) return value;
    PerInch a = perInch(from), b = perInch(to);
    if (a.num == 0 || b.num == 0) return value;
    // value * (b.num / b.den) / (a.num / a.den), rounded half away from zero.
    __int128 n = static_cast<__int128>(value) * b.num * a.den;
    __int128 d = static_cast<__int128>(b.den) * a.num;
    __int128 q = (n >= 0 ? n + d / 2 : n - d / 2) / d;
    if (q > kValueLimit) return kValueLimit;
    if (q < -kValueLimit) return -kValueLimit;
    return static_cast<long long>(q);
}

bool MetricField::parse(const String& text, int unit, int decimals, long long& value) {
    const std::string& s = text.str();
    std::size_t i = 0;
    auto blanks = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    };
    blanks();
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
        blanks();
    }
    // The digits are read with kExtra more decimals than the field keeps, so that a conversion
    // ("1.5 in" into points) rounds once, at the end.
    constexpr int kExtra = 6;
    const int keep = decimals + kExtra;
    __int128 mant = 0;
    int fracDigits = 0, digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        mant = mant * 10 + (s[i++] - '0');
        if (mant > static_cast<__int128>(kValueLimit)) return false;
        ++digits;
    }
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            if (fracDigits < keep) {
                mant = mant * 10 + (s[i] - '0');
                ++fracDigits;
            }
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return false;
    blanks();
    int from = unit;
    if (i < s.size()) {
        std::string rest = s.substr(i);
        while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
        for (char& c : rest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        bool found = false;
        for (const Suffix& sfx : kSuffixes)
            if (rest == sfx.text) {
                from = unit == FUNIT_NONE ? FUNIT_NONE : sfx.unit;
                found = true;
                break;
            }
        if (!found) return false;
    }
    for (int k = fracDigits; k < keep; ++k) mant *= 10;
    // mant <= 10^12 * 10^12: converting multiplies by at most 63360 * 10^7, inside 128 bits.
    PerInch a = perInch(from), b = perInch(unit);
    if (from != unit && a.num != 0 && b.num != 0) {
        __int128 n = mant * b.num * a.den, d = static_cast<__int128>(b.den) * a.num;
        mant = (n + d / 2) / d;
    }
    __int128 scale = 1;
    for (int k = 0; k < kExtra; ++k) scale *= 10;
    __int128 v = (mant + scale / 2) / scale;
    if (v > static_cast<__int128>(kValueLimit)) return false;
    value = static_cast<long long>(negative ? -v : v);
    return true;
}

String MetricField::format(long long value, int unit, int decimals) {
    long long scale = 1;
    for (int k = 0; k < decimals; ++k) scale *= 10;
    const unsigned long long mag = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    std::string out = value < 0 ? "-" : "";
    out += std::to_string(mag / scale);
    if (decimals > 0) {
        std::string f = std::to_string(mag % scale);
        out += "." + std::string(decimals - f.size(), '0') + f;
    }
    out += suffixOf(unit);
    return String(out);
}

// ---- NumericField ----

NumericField::NumericField(Dialog* d, const ResId& id) : Control(d, "NumericField", id) {
    auto* sb = static_cast<QSpinBox*>(widget_);
    QObject::connect(sb, &QSpinBox::valueChanged, sb, [this](int) {
        if (quiet_) return;
        Link l = modify_;
        gui::guardedCall([&] { l.call(this); });
    });
}

void NumericField::setValue(long v) {
    quiet_ = true;
    static_cast<QSpinBox*>(widget_)->setValue(static_cast<int>(std::clamp<long>(v, INT32_MIN, INT32_MAX)));
    quiet_ = false;
}
long NumericField::getValue() const {
    auto* sb = static_cast<QSpinBox*>(widget_);
    // A typed value that was not yet committed counts, as the user sees it.
    bool ok = false;
    long typed = sb->cleanText().toLong(&ok);
    return ok ? std::clamp<long>(typed, sb->minimum(), sb->maximum()) : sb->value();
}
void NumericField::setMin(long v) {
    quiet_ = true;
    static_cast<QSpinBox*>(widget_)->setMinimum(static_cast<int>(std::clamp<long>(v, INT32_MIN, INT32_MAX)));
    quiet_ = false;
}
void NumericField::setMax(long v) {
    quiet_ = true;
    static_cast<QSpinBox*>(widget_)->setMaximum(static_cast<int>(std::clamp<long>(v, INT32_MIN, INT32_MAX)));
    quiet_ = false;
}
void NumericField::setSpinSize(long step) {
    static_cast<QSpinBox*>(widget_)->setSingleStep(static_cast<int>(std::clamp<long>(step, 1, INT32_MAX)));
}

// ---- images ----

Icon::Icon(const ResId& id) : image_(gui::findImage(id.id)) {}

void FixedBitmap::setBitmap(const Bitmap& b) {
    auto* l = static_cast<QLabel*>(widget_);
    if (b.isEmpty()) {
        l->clear();
        l->setProperty("kelvoImage", QVariant());
        return;
    }
    l->setPixmap(QPixmap::fromImage(gui::bitmapImage(b)));
    l->setProperty("kelvoImage", QVariant::fromValue(gui::bitmapImage(b)));
    l->setProperty("kelvoBits", b.getBitCount());
}

Bitmap FixedBitmap::getBitmap() const {
    auto* l = static_cast<QLabel*>(widget_);
    QVariant v = l->property("kelvoImage");
    if (!v.isValid()) return Bitmap();
    return gui::makeBitmap(v.value<QImage>(), l->property("kelvoBits").toInt());
}

namespace gui {

QWidget* makeListControl(const std::string& cls, const String& text, QWidget* parent) {
    if (cls == "ComboBox") {
        auto* cb = new QComboBox(parent);
        cb->setEditable(true);
        cb->setInsertPolicy(QComboBox::NoInsert);
        cb->setEditText(toQString(text));
        return cb;
    }
    if (cls == "ListBox") return new QListWidget(parent);
    if (cls == "MetricField") return new MetricEdit(parent);
    if (cls == "NumericField") {
        auto* sb = new QSpinBox(parent);
        sb->setRange(-32768, 32767);
        return sb;
    }
    if (cls == "FixedIcon" || cls == "FixedBitmap") {
        auto* l = new QLabel(parent);
        Bitmap b = imageOfId(text);
        if (!b.isEmpty()) {
            l->setPixmap(QPixmap::fromImage(bitmapImage(b)));
            l->setProperty("kelvoImage", QVariant::fromValue(bitmapImage(b)));
            l->setProperty("kelvoBits", b.getBitCount());
        }
        return l;
    }
    return nullptr;
}

}  // namespace gui
