#pragma once
// The value controls of the picture dialogs: a track bar that reports the mouse and can jump its
// thumb to a clicked point, an integer spin edit whose arrows ask an event first, and a decimal spin
// edit with a fixed number of decimals.
//
// Both spin edits accept any number while it is typed and clamp it to their range when it is applied
// (typing 150 where the limit is 100 applies 100, and SetValue shows it). A range whose minimum
// equals its maximum means no limits. Text that is not a number never becomes a value: leaving the
// edit shows the last valid value again.
#include "controls/XGraphicCtrls.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>

#include <functional>

// An arrow of a spin edit was used; a handler that sets Handled stops the edit's own step.
using TSpinBtnClickEvent = std::function<void(QWidget* Sender, bool& Handled)>;

class TXTrackBar : public QSlider {
public:
    explicit TXTrackBar(QWidget* Parent = nullptr);

    int Min() const { return minimum(); }
    int Max() const { return maximum(); }
    int Position() const { return value(); }
    void SetPosition(int Value) { setValue(Value); }
    // Length of the thumb along the bar, in pixels.
    int ThumbLength() const;
    // True when the client point lies on the thumb.
    bool PointOnThumb(int X, int Y) const;
    // The position under client X, not clamped: Min + Trunc((X - ThumbLength / 2) * (Max - Min) / w)
    // with w = ClientWidth - ThumbLength; Min when the bar is not wider than its thumb.
    int PositionAtX(int X) const;

    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    // The position changed (by the user or by SetPosition).
    TNotifyEvent OnChange;

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
};

class TXSpinEdit : public QSpinBox {
public:
    explicit TXSpinEdit(QWidget* Parent = nullptr);

    int MinValue() const { return FMinValue; }
    int MaxValue() const { return FMaxValue; }
    void SetMinValue(int Value);
    void SetMaxValue(int Value);
    int Increment() const { return singleStep(); }
    void SetIncrement(int Value) { setSingleStep(Value); }
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool Value) { setReadOnly(Value); }
    void SetMaxLength(int Value);

    // The line edit inside the spin box.
    QLineEdit* Editor() const { return lineEdit(); }
    // The edit's text as it stands.
    std::string Text() const;
    // Whether the text is an integer (IsValidInteger).
    bool TextIsValid() const;
    // The text's number clamped to the range; MinValue for text that is not a number.
    int Value() const;
    // Shows CheckValue(Value).
    void SetValue(int Value);
    int CheckValue(int Value) const;

    // On a read-only edit: a beep and nothing more. Else OnUpClick / OnDownClick, then, unless it
    // set Handled, Value +/- Increment.
    virtual void UpClick();
    virtual void DownClick();

    TSpinBtnClickEvent OnUpClick;
    TSpinBtnClickEvent OnDownClick;
    // The text changed (typed, stepped or set).
    TNotifyEvent OnChange;

    void stepBy(int Steps) override;

protected:
    QValidator::State validate(QString& Input, int& Pos) const override;
    int valueFromText(const QString& Text) const override;
    void fixup(QString& Input) const override;

private:
    void ApplyRange();
    int FMinValue = 0;
    int FMaxValue = 0;
};

// Decimal text: one rule for keys, parsing and formatting. Both the locale's decimal separator and
// '.' are taken; numbers are shown with the locale's separator.
bool IsValidDecimalChar(QChar Key);
bool ParseDecimal(const QString& Text, double& Value);
QString FormatDecimal(double Value, int Decimals);

class TDoubleSpinEdit : public QDoubleSpinBox {
public:
    explicit TDoubleSpinEdit(QWidget* Parent = nullptr);

    double MinValue() const { return FMinValue; }
    double MaxValue() const { return FMaxValue; }
    void SetMinValue(double Value);
    void SetMaxValue(double Value);
    double Increment() const { return FIncrement; }
    void SetIncrement(double Value) { FIncrement = Value; }
    int NumDecimalPoints() const { return decimals(); }
    // Taken only for 1..6; the value is shown again with the new number of decimals.
    void SetNumDecimalPoints(int Value);
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool Value);
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool Value) { setReadOnly(Value); }

    QLineEdit* Editor() const { return lineEdit(); }
    std::string Text() const;
    // Whether the text is a number by the decimal rule.
    bool TextIsValid() const;
    bool TryValue(double& Value) const;
    // The text's number (not clamped); MinValue for text that is not a number.
    double Value() const;
    // Shows CheckValue(Value) with NumDecimalPoints decimals.
    void SetValue(double Value);
    double CheckValue(double Value) const;

    // A key the edit takes (digits, signs, decimal separators, control keys other than Enter; only
    // control keys other than Backspace when the editor is disabled).
    virtual bool IsValidChar(QChar Key) const;
    virtual void UpClick();
    virtual void DownClick();

    TSpinBtnClickEvent OnUpClick;
    TSpinBtnClickEvent OnDownClick;
    TNotifyEvent OnChange;

    void stepBy(int Steps) override;

protected:
    QValidator::State validate(QString& Input, int& Pos) const override;
    double valueFromText(const QString& Text) const override;
    QString textFromValue(double Value) const override;
    void fixup(QString& Input) const override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void ApplyRange();
    double FMinValue = 0;
    double FMaxValue = 0;
    double FIncrement = 1.0;
    bool FEditorEnabled = true;
};
