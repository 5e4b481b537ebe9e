// The formula and number fields: line edits the formula keyboard types
// into. A formula field knows the variables its formula may use (the
// keyboard offers them); a number field shows its value when not edited and
// the expression it was typed as while edited. What confirming checks is
// the owner's (field_check.h, NumberField::confirm); the fields carry the
// text to and from the keyboard.
#pragma once

#include <QLineEdit>

#include <string>

#include "keyboard.h"
#include "number_field.h"

namespace orlix {

class myTextField : public QLineEdit, public KeyboardTarget {
    Q_OBJECT
  public:
    explicit myTextField(QWidget* parent = nullptr);

    // The one-letter variables (UTF-8) the field's formula may use; empty
    // for a number.
    void setGoodVar(std::string letters) { goodVar_ = std::move(letters); }
    const std::string& goodVar() const { return goodVar_; }

    // ---- KeyboardTarget --------------------------------------------------------
    TextEdit textEdit() const override;
    // Replaces through the line edit's own editing: undo keeps working and
    // the clipboard is left alone.
    void replace(const TextChange& change) override;
    // The return key: the field's returnPressed, as a physical key gives.
    void confirm() override;
    std::string variables() const override { return goodVar_; }
    void useSystemKeyboard(bool on) override;

  private:
    std::string goodVar_;
};

class varTextField : public myTextField {
    Q_OBJECT
  public:
    explicit varTextField(QWidget* parent = nullptr);
    // Shows f: while editing its expression left-aligned, otherwise its
    // value right-aligned.
    void showNumber(const NumberField& f);
};

} // namespace orlix
