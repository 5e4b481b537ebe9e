// The formula keyboard on screen: paints myKeyboard (its pads, the key
// under the finger with its magnifier, the sliding function pads, the
// error bar) and forwards touches, mouse presses and the held backspace's
// timer to it.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "keyboard.h"

class QVariantAnimation;

namespace orlix {

class KeyboardWidget : public QWidget {
    Q_OBJECT
  public:
    // How long the function pads slide and the error bar moves, in ms.
    static constexpr int kSlideMs = 250;
    static constexpr int kErrorStepMs = 100;
    static constexpr int kErrorFadeMs = 300;

    explicit KeyboardWidget(QWidget* parent = nullptr);
    ~KeyboardWidget() override;

    myKeyboard& keyboard() { return keyboard_; }
    const myKeyboard& keyboard() const { return keyboard_; }

    // Lays the keys out for this width and takes the keyboard's height.
    void setLayout(int width, KeyboardOrientation orientation);
    // The field typed into; nullptr when nothing is edited.
    void setTarget(KeyboardTarget* target);
    // Keys light on dark rather than dark on light.
    void setDarkAppearance(bool dark)
    {
        dark_ = dark;
        update();
    }

    void showErrorMessage(const QString& text);
    void hideErrorMessage();

    // Whether an animation (slide, error bar) is running; finishAnimations
    // jumps to their ends.
    bool animating() const;
    void finishAnimations();

    // The keyboard's height changed (these keys ↔ the system keyboard).
    std::function<void()> onSizeChanged;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    bool dark_ = false;
    // After every forwarded event: the repeat timer, the size, a repaint.
    void sync();
    void errorBarChanged(ErrorBarChange change);
    void paintPad(QPainter& p, const myKBPad& pad, float dx, bool enabled, float alpha);
    void paintKey(QPainter& p, const KeyRecord& key, float dx, bool pressed);
    void paintMagnifier(QPainter& p, const KeyRecord& key, const RectF& where);
    void paintErrorBar(QPainter& p);
    std::int64_t now() const { return clock_.elapsed(); }

    myKeyboard keyboard_;
    QTimer repeatTimer_;
    QElapsedTimer clock_;
    QVariantAnimation* slide_ = nullptr;
    QVariantAnimation* errorMove_ = nullptr;
    QVariantAnimation* shake_ = nullptr;
    // The error bar's animation: appearing (true) or going.
    bool errorAppearing_ = false;
    float shakeScale_ = 1;
    float shakeAngle_ = 0;
    int lastHeight_ = 0;
};

} // namespace orlix
