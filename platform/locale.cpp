// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/locale.h"

#include <QLocale>

namespace rw {

std::string DecimalSeparator() {
  const QString point = QLocale().decimalPoint();
  return point.isEmpty() ? std::string(".") : point.toStdString();
}

}  // namespace rw
