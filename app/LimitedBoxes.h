#pragma once

// The number boxes of the tool windows over the limits' table (StandardSettings.h): range,
// decimals and unit from it, the same limits the project file and the command line apply. A
// value is taken when its typing ends (Enter, the focus leaving, an arrow), not at every key,
// and a box being typed in is never written over by a refresh.

#include "model/StandardSettings.h"

#include <QAbstractSpinBox>
#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QSpinBox>

#include <type_traits>

namespace valmora {

template <typename Box> void limitBox(Box* box, LimitedSetting setting) {
    const SettingLimit& limit = settingLimit(setting);
    if constexpr (std::is_same_v<Box, QDoubleSpinBox>) {
        box->setRange(limit.lowest, limit.highest);
        box->setDecimals(limit.decimals);
    } else {
        box->setRange(int(limit.lowest), int(limit.highest));
    }
    if (*limit.unit)
        box->setSuffix(u' ' + QString::fromUtf8(limit.unit));
    box->setKeyboardTracking(false);
}

// Writes `value` into `box`, without a change signal, unless the designer is typing in it.
template <typename Box, typename Value> void showValue(Box* box, Value value) {
    if (box->hasFocus())
        return;
    const QSignalBlocker quiet(box);
    box->setValue(value);
}

} // namespace valmora
