#pragma once
// State every window keeps beside its controls: the pointer code and the custom pointer picture.

#include <QCursor>
#include <optional>

namespace pointer_code {
inline constexpr int kDefault = 0;
inline constexpr int kHourglass = 11;
inline constexpr int kCustom = 99;
}  // namespace pointer_code

struct WindowPointer {
    int MousePointer = pointer_code::kDefault;
    std::optional<QCursor> MouseIcon;
};
