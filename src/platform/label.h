#pragma once

#include <string>

#include "platform/colour.h"
#include "platform/control.h"
#include "platform/font.h"

namespace platform {

enum class BackStyle { Transparent = 0, Opaque = 1 };

// A text label. The caption is drawn from the top-left corner, left-aligned, broken at spaces
// when wider than the label and clipped to it; the label never grows. A single "&" underlines
// the next character and "&&" shows one "&". A transparent label draws only its text.
class Label : public Control {
public:
    explicit Label(Control& container);

    // A transparent label as window designs give it: place, caption, font and text colour.
    void design(int left, int top, int width, int height, const std::string& caption,
                const Font& font, Colour foreColor);

    const std::string& Caption() const { return caption_; }
    void setCaption(const std::string& caption);
    Colour ForeColor() const { return foreColor_; }
    void setForeColor(Colour colour);
    void setBackColor(Colour colour);
    void setBackStyle(BackStyle style);
    const Font& font() const { return font_; }
    void setFont(const Font& font);
    bool FontBold() const { return font_.bold; }
    void setFontBold(bool bold);
    bool FontUnderline() const { return font_.underline; }
    void setFontUnderline(bool underline);

protected:
    void paint(QPainter& painter) override;

private:
    // The caption as read aloud: without its "&" markers.
    std::string defaultAccessibleName() const override;

    std::string caption_;
    Colour foreColor_ = kButtonText;
    Colour backColor_ = 0xC0C0C0;
    BackStyle backStyle_ = BackStyle::Opaque;
    Font font_;
};

}  // namespace platform
