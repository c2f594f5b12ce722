// Track bar and spin edits of the picture dialogs.
#include "controls/XSpinEdits.h"

#include "globals/CVGlobal.h"
#include "image/KTGenUtils.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <climits>
#include <cmath>

// ---- TXTrackBar ---------------------------------------------------------------------------------

TXTrackBar::TXTrackBar(QWidget* Parent) : QSlider(Qt::Horizontal, Parent)
{
    connect(this, &QSlider::valueChanged, this, [this](int) {
        if (OnChange)
            GuardEvent(this, [this] { OnChange(this); });
    });
}

namespace {
QRect ThumbRect(const QSlider& Slider)
{
    QStyleOptionSlider opt;
    opt.initFrom(&Slider);
    opt.subControls = QStyle::SC_None;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = Slider.orientation();
    opt.maximum = Slider.maximum();
    opt.minimum = Slider.minimum();
    opt.tickPosition = Slider.tickPosition();
    opt.tickInterval = Slider.tickInterval();
    opt.upsideDown = Slider.invertedAppearance();
    opt.direction = Slider.layoutDirection();
    opt.sliderPosition = Slider.sliderPosition();
    opt.sliderValue = Slider.value();
    opt.singleStep = Slider.singleStep();
    opt.pageStep = Slider.pageStep();
    if (Slider.orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    return Slider.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &Slider);
}
} // namespace

int TXTrackBar::ThumbLength() const
{
    const QRect r = ThumbRect(*this);
    return orientation() == Qt::Horizontal ? r.width() : r.height();
}

bool TXTrackBar::PointOnThumb(int X, int Y) const { return ThumbRect(*this).contains(X, Y); }

int TXTrackBar::PositionAtX(int X) const
{
    const int thumb = ThumbLength();
    const int w = width() - thumb;
    const double scale = w >= 1 ? double(Max() - Min()) / w : 0.0;
    return Min() + static_cast<int>(std::trunc((X - thumb / 2) * scale));
}

void TXTrackBar::mousePressEvent(QMouseEvent* Event)
{
    QSlider::mousePressEvent(Event);
    const QPoint p = Event->position().toPoint();
    if (OnMouseDown)
        GuardEvent(this, [&] { OnMouseDown(this, Event->button(), Event->modifiers(), p.x(), p.y()); });
}

void TXTrackBar::mouseMoveEvent(QMouseEvent* Event)
{
    QSlider::mouseMoveEvent(Event);
    const QPoint p = Event->position().toPoint();
    if (OnMouseMove)
        GuardEvent(this, [&] { OnMouseMove(this, Event->buttons(), Event->modifiers(), p.x(), p.y()); });
}

void TXTrackBar::mouseReleaseEvent(QMouseEvent* Event)
{
    QSlider::mouseReleaseEvent(Event);
    const QPoint p = Event->position().toPoint();
    if (OnMouseUp)
        GuardEvent(this, [&] { OnMouseUp(this, Event->button(), Event->modifiers(), p.x(), p.y()); });
}

// ---- TXSpinEdit -----------------------------------------------------------------------------------

namespace {
// Digits with an optional leading sign.
bool IntegerChars(const QString& S)
{
    for (int i = 0; i < S.size(); ++i) {
        const QChar c = S[i];
        if (c.isDigit() && c.unicode() < 128)
            continue;
        if (i == 0 && (c == '+' || c == '-'))
            continue;
        return false;
    }
    return true;
}
} // namespace

TXSpinEdit::TXSpinEdit(QWidget* Parent) : QSpinBox(Parent)
{
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    ApplyRange();
    connect(this, &QSpinBox::textChanged, this, [this](const QString&) {
        if (OnChange)
            GuardEvent(this, [this] { OnChange(this); });
    });
}

void TXSpinEdit::ApplyRange()
{
    if (FMinValue == FMaxValue)
        setRange(INT_MIN, INT_MAX);
    else if (FMinValue < FMaxValue)
        setRange(FMinValue, FMaxValue);
}

void TXSpinEdit::SetMinValue(int Value)
{
    FMinValue = Value;
    ApplyRange();
}

void TXSpinEdit::SetMaxValue(int Value)
{
    FMaxValue = Value;
    ApplyRange();
}

void TXSpinEdit::SetMaxLength(int Value) { lineEdit()->setMaxLength(Value); }

std::string TXSpinEdit::Text() const { return lineEdit()->text().toStdString(); }

bool TXSpinEdit::TextIsValid() const
{
    const QString t = lineEdit()->text();
    return IntegerChars(t.trimmed()) && IsValidInteger(t.toStdString());
}

int TXSpinEdit::CheckValue(int Value) const
{
    if (FMaxValue != FMinValue)
        return std::clamp(Value, std::min(FMinValue, FMaxValue), std::max(FMinValue, FMaxValue));
    return Value;
}

int TXSpinEdit::Value() const
{
    int32_t v = 0;
    if (!TextIsValid() || !TryStrToInt(Trim(Text()), v))
        return FMinValue;
    return CheckValue(v);
}

void TXSpinEdit::SetValue(int Value)
{
    // setValue rewrites the text even when the number is unchanged, so a typed 150 becomes 100.
    setValue(CheckValue(Value));
    lineEdit()->setText(textFromValue(value()));
}

void TXSpinEdit::UpClick()
{
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    bool handled = false;
    if (OnUpClick)
        OnUpClick(this, handled);
    if (!handled)
        SetValue(Value() + Increment());
}

void TXSpinEdit::DownClick()
{
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    bool handled = false;
    if (OnDownClick)
        OnDownClick(this, handled);
    if (!handled)
        SetValue(Value() - Increment());
}

void TXSpinEdit::stepBy(int Steps)
{
    GuardEvent(this, [&] {
        for (int i = 0; i < std::abs(Steps); ++i)
            Steps > 0 ? UpClick() : DownClick();
    });
}

QValidator::State TXSpinEdit::validate(QString& Input, int&) const
{
    const QString t = Input.trimmed();
    if (!IntegerChars(t))
        return QValidator::Invalid;
    int32_t v = 0;
    if (TryStrToInt(t.toStdString(), v))
        return QValidator::Acceptable;
    return (t.isEmpty() || t == "+" || t == "-") ? QValidator::Intermediate : QValidator::Invalid;
}

int TXSpinEdit::valueFromText(const QString& Text) const
{
    int32_t v = 0;
    if (!TryStrToInt(Text.trimmed().toStdString(), v))
        return value();
    return CheckValue(v);
}

void TXSpinEdit::fixup(QString& Input) const
{
    int32_t v = 0;
    if (!TryStrToInt(Input.trimmed().toStdString(), v))
        Input = textFromValue(value());
    else
        Input = textFromValue(CheckValue(v));
}

// ---- Decimal text ----------------------------------------------------------------------------------

namespace {
QChar LocaleDecimal()
{
    const QString p = QLocale().decimalPoint();
    return p.isEmpty() ? QChar('.') : p[0];
}
} // namespace

bool IsValidDecimalChar(QChar Key)
{
    return (Key.isDigit() && Key.unicode() < 128) || Key == '+' || Key == '-' || Key == '.' ||
           Key == LocaleDecimal();
}

bool ParseDecimal(const QString& Text, double& Value)
{
    QString t = Text.trimmed();
    if (t.isEmpty())
        return false;
    const QChar sep = LocaleDecimal();
    int separators = 0;
    for (QChar& c : t) {
        if (c == sep)
            c = '.';
        if (c == '.')
            ++separators;
        else if (!IsValidDecimalChar(c))
            return false;
    }
    if (separators > 1)
        return false;
    double v = 0;
    if (!TryStrToFloat(t.toStdString(), v) || !std::isfinite(v))
        return false;
    Value = v;
    return true;
}

QString FormatDecimal(double Value, int Decimals)
{
    QString s = QString::fromStdString(FloatToStrFixed(Value, Decimals));
    const QChar sep = LocaleDecimal();
    if (sep != '.')
        s.replace('.', sep);
    return s;
}

// ---- TDoubleSpinEdit ---------------------------------------------------------------------------------

TDoubleSpinEdit::TDoubleSpinEdit(QWidget* Parent) : QDoubleSpinBox(Parent)
{
    setDecimals(2);
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    ApplyRange();
    setValue(0);
    connect(this, &QDoubleSpinBox::textChanged, this, [this](const QString&) {
        if (OnChange)
            GuardEvent(this, [this] { OnChange(this); });
    });
}

void TDoubleSpinEdit::ApplyRange()
{
    // No limits: a wide range that still leaves the box a sensible width.
    if (FMinValue == FMaxValue)
        setRange(-1e9, 1e9);
    else if (FMinValue < FMaxValue)
        setRange(FMinValue, FMaxValue);
}

void TDoubleSpinEdit::SetMinValue(double Value)
{
    FMinValue = Value;
    ApplyRange();
}

void TDoubleSpinEdit::SetMaxValue(double Value)
{
    FMaxValue = Value;
    ApplyRange();
}

void TDoubleSpinEdit::SetNumDecimalPoints(int Value)
{
    if (Value < 1 || Value > 6 || Value == decimals())
        return;
    const double v = this->Value();
    setDecimals(Value);
    SetValue(v);
}

void TDoubleSpinEdit::SetEditorEnabled(bool Value)
{
    FEditorEnabled = Value;
    lineEdit()->setReadOnly(!Value);
}

std::string TDoubleSpinEdit::Text() const { return lineEdit()->text().toStdString(); }

bool TDoubleSpinEdit::TryValue(double& Value) const { return ParseDecimal(lineEdit()->text(), Value); }

bool TDoubleSpinEdit::TextIsValid() const
{
    double v = 0;
    return TryValue(v);
}

double TDoubleSpinEdit::Value() const
{
    double v = 0;
    return TryValue(v) ? v : FMinValue;
}

double TDoubleSpinEdit::CheckValue(double Value) const
{
    if (FMaxValue != FMinValue) {
        if (Value < FMinValue)
            return FMinValue;
        if (Value > FMaxValue)
            return FMaxValue;
    }
    return Value;
}

void TDoubleSpinEdit::SetValue(double Value)
{
    setValue(CheckValue(Value));
    lineEdit()->setText(textFromValue(value()));
}

bool TDoubleSpinEdit::IsValidChar(QChar Key) const
{
    const bool control = Key.unicode() < 32 || Key.unicode() == 127;
    if (!FEditorEnabled)
        return control && Key != '\b' && Key.unicode() != 127;
    if (control)
        return Key != '\r' && Key != '\n';
    return IsValidDecimalChar(Key);
}

void TDoubleSpinEdit::UpClick()
{
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    bool handled = false;
    if (OnUpClick)
        OnUpClick(this, handled);
    if (!handled)
        SetValue(Value() + FIncrement);
}

void TDoubleSpinEdit::DownClick()
{
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    bool handled = false;
    if (OnDownClick)
        OnDownClick(this, handled);
    if (!handled)
        SetValue(Value() - FIncrement);
}

void TDoubleSpinEdit::stepBy(int Steps)
{
    GuardEvent(this, [&] {
        for (int i = 0; i < std::abs(Steps); ++i)
            Steps > 0 ? UpClick() : DownClick();
    });
}

void TDoubleSpinEdit::keyPressEvent(QKeyEvent* Event)
{
    const QString text = Event->text();
    if (!text.isEmpty() && Event->key() != Qt::Key_Return && Event->key() != Qt::Key_Enter &&
        !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        for (QChar c : text)
            if (!IsValidChar(c)) {
                QApplication::beep();
                Event->accept();
                return;
            }
    }
    QDoubleSpinBox::keyPressEvent(Event);
}

QValidator::State TDoubleSpinEdit::validate(QString& Input, int&) const
{
    const QString t = Input.trimmed();
    for (QChar c : t)
        if (!IsValidDecimalChar(c))
            return QValidator::Invalid;
    double v = 0;
    if (ParseDecimal(t, v))
        return QValidator::Acceptable;
    return QValidator::Intermediate;
}

double TDoubleSpinEdit::valueFromText(const QString& Text) const
{
    double v = 0;
    if (!ParseDecimal(Text, v))
        return value();
    return CheckValue(v);
}

QString TDoubleSpinEdit::textFromValue(double Value) const { return FormatDecimal(Value, decimals()); }

void TDoubleSpinEdit::fixup(QString& Input) const
{
    double v = 0;
    Input = textFromValue(ParseDecimal(Input, v) ? CheckValue(v) : value());
}
