// Qt resource paths of the window's icons (compiled in from res/icons/).
//
// Thread-safety: immutable data.
#pragma once

namespace res {

// The application icon (IDI_APP) in every size it is drawn in.
inline constexpr const char* kAppIconPaths[] = {
    ":/icons/app_16.png", ":/icons/app_24.png", ":/icons/app_32.png",
    ":/icons/app_48.png", ":/icons/app_64.png", ":/icons/app_128.png",
};
inline constexpr const char* kReadyIconPath = ":/icons/ready_16.png";         // IDI_READY
inline constexpr const char* kNotReadyIconPath = ":/icons/not_ready_16.png";  // IDI_NOT_READY

}  // namespace res
