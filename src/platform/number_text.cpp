#include "platform/number_text.h"

#include <QLocale>

namespace platform {

std::string NumberToText(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15).toStdString();
}

}  // namespace platform
