#pragma once

#include <QString>
#include <QUrl>

// Values this deployment agrees with its servers: where the control endpoint is, and how the
// content servers recognise this client.
namespace bridge {

inline constexpr const char* kControlUrlVariable = "VELTOQUORIN_CONTROL_URL";
inline constexpr const char* kDefaultControlUrl = "http://127.0.0.1:8731";

inline constexpr const char* kClientFlagName = "SoftwareFlags";
inline constexpr const char* kClientFlagValue = "VeltoQuorinDesktop";
inline constexpr const char* kUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/85.0.4183.102 Safari/537.36";

// The control endpoint's base URL: $VELTOQUORIN_CONTROL_URL, or the local server.
QUrl controlUrl();

// The content provider's cookie domain: the control endpoint's host, which serves the pages.
QString contentDomain();

}  // namespace bridge
